// formsubmit_test.cc: the fields of a sent form against the trial runtime,
// asserting the exact calls it received.
#include "server/formsubmit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "common/config.h"
#include "common/runtime.h"

namespace {

using testsupport::TrialRuntime;
using Calls = std::vector<std::string>;

const char kProject[] =
    "VAR 12 TEMP N 21.5\n"
    "VAR 3 FAKTOR N 1,5\n"
    "VAR 7 FARBE S Ab\n"
    "VAR 5 LICHT U Ein\n"
    "MACRO 15 ALLESAUS\n";

class FormFields : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime_.reset(new TrialRuntime(kProject));
    ASSERT_TRUE(runtime_->Start());
    AbKeURL = runtime_->Url();
    ResetRuntimeClientState();
  }
  void TearDown() override { ResetRuntimeClientState(); }
  std::unique_ptr<TrialRuntime> runtime_;
};

struct FieldCase {
  const char* field;
  int want;
  Calls calls;
};

TEST_F(FormFields, WritesOnlyChangedValuesAndStartsTickedMacros) {
  std::string long_field = "S7q-2071798096=";  // the sum passes 2^31 and wraps
  for (int i = 0; i < 4200; ++i) long_field += "%FC";
  const FieldCase cases[] = {
      {"OKButton=OK", 1, {}},
      {"", 1, {}},
      {"=", 1, {}},  // no name: nothing to write (it used to throw)
      {"=21.7", 1, {}},
      {"x15=ON", 1, {"startmacroidx\t15"}},
      {"N12q21p5=21.5", 1, {}},
      {"N12q21p5=21.7", 1, {"setvarbyidx\t12=21.7"}},
      {"N3q1k5=1%2C5", 1, {}},
      {"N3q1k5=1%2c5", 1, {"setvarbyidx\t3=1%2c5"}},  // only "%2C" is decoded for numbers
      {"S7q261=Ab", 1, {}},
      {"S7q261=Abc", 1, {"setvarbyidx\t7=\"Abc\""}},
      {"S7q1495=Gr%FCn", 1, {}},
      {"S7q261=Gr%FCn", 1, {"setvarbyidx\t7=\"Gr\xFCn\""}},
      {"S7q261=a+b%2Bc", 1, {"setvarbyidx\t7=\"a b+c\""}},
      {"S7q1122=a+b%2Bc", 1, {}},
      {long_field.c_str(), 1, {}},
      {"U5qEin=Ein", 1, {}},
      {"U5qEin=Aus", 1, {"setvarbyidx\t5=\"Aus\""}},
      {"U5qGr%FCn=Gr%FCn", 1, {}},      // the code is decoded as well
      {"U5qhalb+offen=halb+offen", 1, {}},
      {"N99q1=2", 0, {"setvarbyidx\t99=2"}},  // the runtime's refusal status
      // Names without a plain non-negative decimal index start and write nothing.
      {"x=ON", 1, {}},
      {"xabc=ON", 1, {}},
      {"x-1=ON", 1, {}},
      {"x+15=ON", 1, {}},
      {"x99999999999=ON", 1, {}},
      {"N=5", 1, {}},
      {"Nq3=5", 1, {}},
      {"N-1q3=5", 1, {}},
      {"S7x=Ab", 1, {}},
      {"x007=ON", 1, {"startmacroidx\t7"}},
  };
  for (const auto& c : cases) {
    runtime_->ClearCalls();
    EXPECT_EQ(c.want, ApplyFormField(c.field)) << c.field;
    EXPECT_EQ(c.calls, runtime_->Calls()) << c.field;
  }
}

TEST_F(FormFields, WalkStopsAtTheFirstRefusal) {
  struct WalkCase {
    const char* request;
    int want;
    Calls calls;
  };
  const WalkCase cases[] = {
      {"SP=H&sitename=P&sid=1", 1, {}},
      {"SP=H&sitename=P&sid=1&N12q1=2&N99q1=3&x15=ON&N12q1=4",
       0,
       {"setvarbyidx\t12=2", "setvarbyidx\t99=3"}},
      {"SP=H&sitename=P&sid=1&x15=ON&N12q1=2&OKButton=OK", 1,
       {"startmacroidx\t15", "setvarbyidx\t12=2"}},
      {"SP=H&sitename=P&sid=1&x15=ON&&N12q1=2", 1, {"startmacroidx\t15"}},  // empty ends it
      {"&sitename=P&sid=1&x15=ON", 1, {}},  // a leading "&" is not counted further
      {"&a&sitename=P&sid=1&x15=ON", 1, {"startmacroidx\t15"}},
  };
  for (const auto& c : cases) {
    runtime_->ClearCalls();
    EXPECT_EQ(c.want, ApplyFormFields(c.request)) << c.request;
    EXPECT_EQ(c.calls, runtime_->Calls()) << c.request;
  }
}

TEST_F(FormFields, RuntimeDownRefusesWritesButNotMacros) {
  runtime_->Stop();
  EXPECT_EQ(1, ApplyFormField("x15=ON"));
  EXPECT_EQ(1, ApplyFormField("N12q21p5=21.5"));  // unchanged: no call needed
  EXPECT_EQ(-1, ApplyFormField("N12q21p5=22"));
}

}  // namespace

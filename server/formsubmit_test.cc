// formsubmit_test.cc: the fields of a sent form against the trial runtime,
// asserting the exact calls it received: the codes of the value shown, the
// page's offer and the read before a write. The gate of a whole form (stamp,
// other sites) is tested through the program in tests/server_form_test.cc.
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
    "VAR 6 ART U halb offen (Caf\xE9)\n"
    "VAR 13 WEIT N 1e+07\n"
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
  bool Wrote() const {
    for (const auto& call : runtime_->Calls())
      if (call.compare(0, 12, "setvarbyidx\t") == 0) return true;
    return false;
  }
  std::unique_ptr<TrialRuntime> runtime_;
};

// A walk over a page that offers every value and macro of kProject, and 99;
// and indices that are not plain numbers, as a hand-written page file may.
FormWalkRec OfferingAll() {
  FormWalkRec walk;
  walk.offer.values = {{"N12", "Temperatur"}, {"N3", "Faktor"}, {"S7", "Farbe"},
                       {"U5", "Licht"},       {"U6", "Art"},    {"N99", "Fehlt"},
                       {"N13", "Weit"},
                       {"N", "Leer"},         {"N-1", "Minus"}, {"S7x", "Krumm"}};
  walk.offer.macros = {"15", "", "abc", "-1", "+15", "99999999999", "007"};
  walk.offer.choices = {{"U5", {"Ein", "Aus", "Auto", "Gr\xFCn"}}, {"U6", {"zu", "halb offen"}}};
  return walk;
}

struct FieldCase {
  const char* field;
  int want;
  Calls calls;
  std::string notice;  // the row listed as not written, or ""
};

std::string Changed(const std::string& label) { return kChangedValueNotice + label; }

TEST_F(FormFields, WritesOnlyChangedValuesAndStartsTickedMacros) {
  std::string long_field = "S7q-2071798096=";  // the sum passes 2^31 and wraps
  for (int i = 0; i < 4200; ++i) long_field += "%FC";
  const char* kRead12 = "getvarbyidx\t1\t12";
  const char* kRead7 = "getvarbyidx\t1\t7";
  const FieldCase cases[] = {
      {"OKButton=OK", 1, {}, ""},
      {"", 1, {}, ""},
      {"=", 1, {}, ""},  // no name: nothing to write (it used to throw)
      {"=21.7", 1, {}, ""},
      {"x15=ON", 1, {"startmacroidx\t15"}, ""},
      {"N12q21p5=21.5", 1, {}, ""},
      {"N12q21p5=21.7", 1, {kRead12, "setvarbyidx\t12=21.7"}, ""},
      {"N3q1k5=1%2C5", 1, {}, ""},
      // only "%2C" is decoded for numbers
      {"N3q1k5=1%2c5", 1, {"getvarbyidx\t1\t3", "setvarbyidx\t3=1%2c5"}, ""},
      {"S7q261=Ab", 1, {}, ""},
      {"S7q261=Abc", 1, {kRead7, "setvarbyidx\t7=\"Abc\""}, ""},
      {"S7q1495=Gr%FCn", 1, {}, ""},
      {"S7q261=Gr%FCn", 1, {kRead7, "setvarbyidx\t7=\"Gr\xFCn\""}, ""},
      {"S7q261=a+b%2Bc", 1, {kRead7, "setvarbyidx\t7=\"a b+c\""}, ""},
      {"S7q1122=a+b%2Bc", 1, {}, ""},
      {long_field.c_str(), 1, {}, ""},
      {"U5qEin=Ein", 1, {}, ""},
      {"U5qEin=Aus", 1, {"getvarbyidx\t1\t5", "setvarbyidx\t5=\"Aus\""}, ""},
      {"U5qGr%FCn=Gr%FCn", 1, {}, ""},      // the code is decoded as well
      {"U5qhalb+offen=halb+offen", 1, {}, ""},
      // An unknown index cannot be read: the write decides, and the runtime refuses.
      {"N99q1=2", 0, {"getvarbyidx\t1\t99", "setvarbyidx\t99=2"}, ""},
      // The runtime holds another value than the one the page showed: not written.
      {"N12q20=21.7", 1, {kRead12}, Changed("Temperatur")},
      {"N12q21k5=22", 1, {kRead12}, Changed("Temperatur")},  // "21,5" is not "21.5"
      {"N12=22", 1, {kRead12}, Changed("Temperatur")},       // no code: shown as empty
      {"S7q262=Abc", 1, {kRead7}, Changed("Farbe")},
      {"U5qAus=Auto", 1, {"getvarbyidx\t1\t5"}, Changed("Licht")},
      // A selection writes only one of its row's choices: no call, the row listed.
      {"U5qEin=Kaputt", 1, {}, kNotAChoiceNotice + std::string("Licht")},
      {"U5qEin=4", 1, {}, kNotAChoiceNotice + std::string("Licht")},  // the count
      {"U5qEin=", 1, {}, kNotAChoiceNotice + std::string("Licht")},
      {"U5qEin=Gr%FCn", 1, {"getvarbyidx\t1\t5", "setvarbyidx\t5=\"Gr\xFCn\""}, ""},
      {"U6qhalb+offen+%28Caf%E9%29=halb+offen", 1,
       {"getvarbyidx\t1\t6", "setvarbyidx\t6=\"halb offen\""}, ""},
      // "%E9" stays escaped in the decoded code: the value read is escaped alike.
      {"U6qhalb+offen+%28Caf%E9%29=zu", 1, {"getvarbyidx\t1\t6", "setvarbyidx\t6=\"zu\""}, ""},
      {"U6qhalb+offen+%28Caf%E8%29=zu", 1, {"getvarbyidx\t1\t6"}, Changed("Art")},
      // A number code as the browser escapes it: "+" comes as "%2B".
      {"N13q1e%2B07=5", 1, {"getvarbyidx\t1\t13", "setvarbyidx\t13=5"}, ""},
      {"N13q1e%2B08=5", 1, {"getvarbyidx\t1\t13"}, Changed("Weit")},
      // Not offered by the page: the kind, the index or the macro differ.
      {"S12q1=2", 1, {}, ""},
      {"N4q1=2", 1, {}, ""},
      {"n12q1=2", 1, {}, ""},
      {"N012q21p5=22", 1, {}, ""},
      {"x16=ON", 1, {}, ""},
      {"x015=ON", 1, {}, ""},
      // Names without a plain non-negative decimal index start and write
      // nothing, even where a page file offers them.
      {"x=ON", 1, {}, ""},
      {"xabc=ON", 1, {}, ""},
      {"x-1=ON", 1, {}, ""},
      {"x+15=ON", 1, {}, ""},
      {"x99999999999=ON", 1, {}, ""},
      {"N=5", 1, {}, ""},
      {"Nq3=5", 1, {}, ""},
      {"N-1q3=5", 1, {}, ""},
      {"S7x=Ab", 1, {}, ""},
      {"x007=ON", 1, {"startmacroidx\t7"}, ""},
  };
  for (const auto& c : cases) {
    // Every row starts from the project's values: a reload drops the writes.
    if (Wrote()) {
      ASSERT_TRUE(runtime_->ChangeProject(kProject));
    }
    runtime_->ClearCalls();
    FormWalkRec walk = OfferingAll();
    EXPECT_EQ(c.want, ApplyFormField(c.field, &walk)) << c.field;
    EXPECT_EQ(c.calls, runtime_->Calls()) << c.field;
    const std::vector<std::string> notices =
        c.notice.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.notice};
    EXPECT_EQ(notices, walk.notices) << c.field;
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
      {"SP=H&sitename=P&sid=1&N12q21p5=2&N99q1=3&x15=ON&N3q1k5=4",
       0,
       {"getvarbyidx\t1\t12", "setvarbyidx\t12=2", "getvarbyidx\t1\t99",
        "setvarbyidx\t99=3"}},
      {"SP=H&sitename=P&sid=1&x15=ON&N12q21p5=2&OKButton=OK", 1,
       {"startmacroidx\t15", "getvarbyidx\t1\t12", "setvarbyidx\t12=2"}},
      // The first field naming a variable or macro counts, changed or not.
      {"SP=H&sitename=P&sid=1&x15=ON&N12q21p5=21.5&x15=ON&S12q1=2&N12q21p5=3", 1,
       {"startmacroidx\t15"}},
      {"SP=H&sitename=P&sid=1&x15=ON&&N12q21p5=2", 1, {"startmacroidx\t15"}},  // empty ends it
      {"&sitename=P&sid=1&x15=ON", 1, {}},  // a leading "&" is not counted further
      {"&a&sitename=P&sid=1&x15=ON", 1, {"startmacroidx\t15"}},
  };
  for (const auto& c : cases) {
    if (Wrote()) {
      ASSERT_TRUE(runtime_->ChangeProject(kProject));
    }
    runtime_->ClearCalls();
    FormWalkRec walk = OfferingAll();
    EXPECT_EQ(c.want, ApplyFormFields(c.request, &walk)) << c.request;
    EXPECT_EQ(c.calls, runtime_->Calls()) << c.request;
  }
}

TEST_F(FormFields, RuntimeDownRefusesWritesButNotMacros) {
  runtime_->Stop();
  FormWalkRec walk = OfferingAll();
  EXPECT_EQ(1, ApplyFormField("x15=ON", &walk));
  EXPECT_EQ(1, ApplyFormField("N12q21p5=21.5", &walk));  // unchanged: no call needed
  walk = OfferingAll();
  EXPECT_EQ(-1, ApplyFormField("N12q21p5=22", &walk));  // the read fails: the write decides
}

}  // namespace

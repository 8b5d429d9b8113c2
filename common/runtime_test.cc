// runtime_test.cc: every runtime call against the trial runtime: answers,
// faults, a runtime that is down, answers of the wrong type, a dropped
// connection and a runtime that accepts and never answers.
#include "common/runtime.h"

#include <gtest/gtest.h>

#include <chrono>

#include "harness.h"
#include "common/config.h"

namespace {

using testsupport::TrialRuntime;

const char kProject[] =
    "VAR 12 TEMP N 21.5\n"
    "VAR 7 FARBE S Gr\xFCn\n"
    "VAR 5 LICHT U Aus\n"
    "MACRO 15 ALLESAUS\n";

class RuntimeCalls : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& options = {}) {
    runtime_.reset(new TrialRuntime(kProject, options));
    ASSERT_TRUE(runtime_->Start());
    AbKeURL = runtime_->Url();
    ResetRuntimeClientState();
  }
  void TearDown() override { ResetRuntimeClientState(); }
  std::unique_ptr<TrialRuntime> runtime_;
};

TEST_F(RuntimeCalls, ServerCallsSendAndReadTheListedShapes) {
  Start();
  EXPECT_EQ("TEMP=21.5", ReadVarByName(1, "TEMP"));
  std::string text = "12";
  EXPECT_TRUE(ReadVarByIdx(1, text));
  EXPECT_EQ("TEMP=21.5", text);
  EXPECT_EQ(1, WriteVarByIdx("12=22.5"));
  EXPECT_EQ("TEMP=22.5", ReadVarByName(1, "TEMP"));
  EXPECT_TRUE(RunMacroByIdx("15"));
  EXPECT_EQ(0, WriteVarByIdx("99=1"));  // refused by the runtime: its status, not -1
  EXPECT_EQ((std::vector<std::string>{"getvarbyname\t1\tTEMP", "getvarbyidx\t1\t12",
                                      "setvarbyidx\t12=22.5", "getvarbyname\t1\tTEMP",
                                      "startmacroidx\t15", "setvarbyidx\t99=1"}),
            runtime_->Calls());
}

TEST_F(RuntimeCalls, Latin1TextsPassByteForByte) {
  Start();
  std::string text = "7";
  EXPECT_TRUE(ReadVarByIdx(1, text));
  EXPECT_EQ("FARBE=\"Gr\xFCn\"", text);
  EXPECT_EQ(1, WriteVarByIdx("7=\"\xC4" "rger \xDF\""));
  text = "7";
  EXPECT_TRUE(ReadVarByIdx(1, text));
  EXPECT_EQ("FARBE=\"\xC4" "rger \xDF\"", text);
}

TEST_F(RuntimeCalls, InterfaceAndCompilerCalls) {
  Start();
  int count = 0;
  std::string list;
  EXPECT_TRUE(RuntimeCreateVarList("", &count, &list));
  EXPECT_EQ(2, count);
  EXPECT_NE(std::string::npos, list.find("TEMP"));
  std::string answer;
  EXPECT_TRUE(RuntimeGetVarByName(2, "Temp", &answer));
  EXPECT_EQ("21.5", answer);
  EXPECT_EQ(1, RuntimeSetVarByName("TEMP=23"));
  EXPECT_EQ(0, RuntimeStartMacro("15"));
  EXPECT_TRUE(RuntimeWorkFile("ren", "a b.txt", "c.txt"));
  EXPECT_TRUE(RuntimeWorkFile("del", "c.txt", "ignored"));
  CallOutcome outcome = CallOutcome::kFault;
  EXPECT_EQ(12, RuntimeGetVarIdx("TEMP", &outcome));
  EXPECT_EQ(CallOutcome::kOk, outcome);
  EXPECT_EQ(-1, RuntimeGetVarIdx("NOSUCH", &outcome));
  EXPECT_EQ(CallOutcome::kOk, outcome);  // an answer, not a missing runtime
  EXPECT_EQ(15, RuntimeGetObjIdx("ALLESAUS", &outcome));
  const std::vector<std::string> calls = runtime_->Calls();
  ASSERT_GE(calls.size(), 9u);
  EXPECT_EQ("createvarlist\t", calls[0]);
  EXPECT_EQ("getvarbyname\t2\tTemp", calls[1]);
  EXPECT_EQ("setvarbyname\tTEMP=23", calls[2]);
  EXPECT_EQ("startmacroidx\t15", calls[3]);
  EXPECT_EQ("workfile\tren\ta b.txt\tc.txt", calls[4]);
  EXPECT_EQ("workfile\tdel\tc.txt", calls[5]);  // no new name unless renaming
  EXPECT_EQ("getvaridx\tTEMP", calls[6]);
  EXPECT_EQ("getobjidx\tALLESAUS", calls[8]);

  RuntimeEndKernel();
  EXPECT_EQ("comablaufkern\t110", runtime_->Calls().back());
}

// Every call's fallback, for a runtime that answers faults or the wrong types.
void ExpectFallbacks(CallOutcome lookup_outcome, const char* by_name_text) {
  EXPECT_EQ(by_name_text, ReadVarByName(1, "TEMP"));
  std::string text = "12";
  EXPECT_FALSE(ReadVarByIdx(1, text));
  EXPECT_EQ("error XI-1", text);
  EXPECT_EQ(-1, WriteVarByIdx("12=1"));
  int count = 0;
  std::string list, answer;
  EXPECT_FALSE(RuntimeCreateVarList("", &count, &list));
  EXPECT_FALSE(RuntimeGetVarByName(1, "TEMP", &answer));
  EXPECT_EQ(-1, RuntimeSetVarByName("TEMP=1"));
  EXPECT_EQ(-1, RuntimeStartMacro("15"));
  CallOutcome outcome = CallOutcome::kOk;
  EXPECT_EQ(-1, RuntimeGetVarIdx("TEMP", &outcome));
  EXPECT_EQ(lookup_outcome, outcome);
}

TEST_F(RuntimeCalls, FaultsGiveTheFallbacks) {
  Start({"--fault", "all"});
  ExpectFallbacks(CallOutcome::kFault, "error XN-2");
  EXPECT_FALSE(RunMacroByIdx("15"));
  EXPECT_FALSE(RuntimeWorkFile("del", "x", ""));
}

TEST_F(RuntimeCalls, WrongTypesAreFailedCallsNotCrashes) {
  Start({"--wrong-types"});
  ExpectFallbacks(CallOutcome::kFault, "error XN-2");
}

// An answer nested deeper than 64 levels never reaches the parser, which would
// overflow the stack on it: a failed call. This one is under 1 MiB, so its depth
// refuses it (the program tests meet answers over 1 MiB).
TEST_F(RuntimeCalls, AnswerNestedTooDeepIsAFault) {
  Start({"--nested", "20000"});
  ExpectFallbacks(CallOutcome::kFault, "error XN-2");
  EXPECT_EQ(8u, runtime_->Calls().size());  // each call went out once
}

TEST_F(RuntimeCalls, RuntimeDownOrNoUsableAddress) {
  Start();
  runtime_->Stop();  // nothing listens on its port any more
  ExpectFallbacks(CallOutcome::kUnreachable, "error XN-1");
  EXPECT_FALSE(RunMacroByIdx("15"));
  for (const char* url : {"", "xmlrpc://127.0.0.1:", "xmlrpc://:2110", "http://127.0.0.1:80",
                          "xmlrpc://127.0.0.1:99999", "xmlrpc://127.0.0.1:21x0"}) {
    AbKeURL = url;
    ExpectFallbacks(CallOutcome::kUnreachable, "error XN-1");
  }
}

TEST_F(RuntimeCalls, RuntimeThatClosesAfterEachAnswer) {
  Start({"--close"});
  std::string text = "12";
  EXPECT_TRUE(ReadVarByIdx(1, text));
  EXPECT_EQ("TEMP=21.5", text);
  EXPECT_EQ(1, WriteVarByIdx("12=30"));
  EXPECT_TRUE(RunMacroByIdx("15"));
  EXPECT_EQ((std::vector<std::string>{"getvarbyidx\t1\t12", "setvarbyidx\t12=30",
                                      "startmacroidx\t15"}),
            runtime_->Calls());
}

TEST_F(RuntimeCalls, DroppedConnectionIsNotSentAgain) {
  Start({"--drop"});
  EXPECT_EQ(-1, WriteVarByIdx("12=30"));
  EXPECT_EQ((std::vector<std::string>{"setvarbyidx\t12=30"}), runtime_->Calls());
}

TEST_F(RuntimeCalls, HungRuntimeCostsOneBoundedWait) {
  Start({"--hang"});
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  std::string text = "12";
  EXPECT_FALSE(ReadVarByIdx(1, text));
  const std::chrono::duration<double> first = Clock::now() - start;
  EXPECT_GE(first.count(), kCallTimeoutSeconds * 0.9);
  EXPECT_LT(first.count(), kCallTimeoutSeconds + 5);

  const auto again = Clock::now();
  EXPECT_EQ("error XN-1", ReadVarByName(1, "TEMP"));
  EXPECT_EQ(-1, WriteVarByIdx("12=1"));
  CallOutcome outcome = CallOutcome::kOk;
  EXPECT_EQ(-1, RuntimeGetVarIdx("TEMP", &outcome));
  EXPECT_EQ(CallOutcome::kUnreachable, outcome);
  const std::chrono::duration<double> rest = Clock::now() - again;
  EXPECT_LT(rest.count(), 1.0);
  EXPECT_LE(runtime_->Calls().size(), 1u);  // the later calls never reached it
}


// Reads of every kind, answered by one batch as by their single calls.
std::vector<RuntimeRead> SomeReads() {
  const std::pair<ReadKind, const char*> wanted[] = {
      {ReadKind::kVarByIdx, "12"},       {ReadKind::kVarByName, "FARBE"},
      {ReadKind::kVarByIdx, "99"},  // unknown index: a fault
      {ReadKind::kVarIdx, "LICHT"}, {ReadKind::kObjIdx, "ALLESAUS"}};
  std::vector<RuntimeRead> reads;
  for (const auto& w : wanted) {
    RuntimeRead read;
    read.kind = w.first;
    read.argument = w.second;
    reads.push_back(read);
  }
  return reads;
}
const char* const kSomeReadsCalls[] = {"getvarbyidx\t1\t12", "getvarbyname\t1\tFARBE",
                                       "getvarbyidx\t1\t99", "getvaridx\tLICHT",
                                       "getobjidx\tALLESAUS"};

struct BatchCase {
  const char* label;
  std::vector<std::string> options;
  bool use_multicall;
  MulticallSupport support;
  const char* outcomes;  // per read: 'k' kOk, 'f' kFault, 'u' kUnreachable
  const char* calls;     // the log: 'p' the refused "system.multicall", a digit that read
};
const BatchCase kBatchCases[] = {
    {"multicall", {}, true, MulticallSupport::kOffered, "kkfkk", "01234"},
    {"singles wanted", {}, false, MulticallSupport::kUnknown, "kkfkk", "01234"},
    {"not offered", {"--no-multicall"}, true, MulticallSupport::kNotOffered, "kkfkk", "p01234"},
    {"answered an int", {"--multicall-shape", "scalar"}, true, MulticallSupport::kNotOffered,
     "kkfkk", "0123401234"},
    {"one element a fault", {"--fault", "getvaridx"}, true, MulticallSupport::kOffered, "kkffk",
     "01234"},
    {"every second of a wrong type", {"--multicall-shape", "odd-types"}, true,
     MulticallSupport::kOffered, "kfffk", "01234"},
    {"last element missing", {"--multicall-shape", "short"}, true, MulticallSupport::kOffered,
     "kkfkf", "01234"},
    {"an element too many", {"--multicall-shape", "long"}, true, MulticallSupport::kOffered,
     "kkfkk", "01234"},
    {"elements not wrapped", {"--multicall-shape", "flat"}, true, MulticallSupport::kOffered,
     "fffff", "01234"},
    {"connection dropped", {"--drop"}, true, MulticallSupport::kUnknown, "uuuuu", "01234"},
    {"closed after each answer", {"--close", "--no-multicall"}, true,
     MulticallSupport::kNotOffered, "kkfkk", "p01234"},
    // An answer beyond the bounds, to the multicall and to every single read
    // after it: each read is refused alone, and nothing is learnt about multicall.
    {"answers nested too deep", {"--nested", "100"}, true, MulticallSupport::kUnknown, "fffff",
     "0123401234"},
    {"answers a huge string", {"--huge-string"}, true, MulticallSupport::kUnknown, "fffff",
     "0123401234"},
    // The dropped read goes once more on a new connection: a read may be repeated.
    {"drops the third call of a connection", {"--drop-after", "2", "--no-multicall"}, true,
     MulticallSupport::kNotOffered, "kkfkk", "p0112334"},
};

TEST_F(RuntimeCalls, BatchesJudgeEachReadAlone) {
  for (const BatchCase& c : kBatchCases) {
    SCOPED_TRACE(c.label);
    Start(c.options);
    std::vector<RuntimeRead> reads = SomeReads();
    EXPECT_EQ(c.support, RuntimeReadMany(&reads, c.use_multicall));
    std::string outcomes;
    for (const RuntimeRead& read : reads)
      outcomes += read.outcome == CallOutcome::kOk      ? 'k'
                  : read.outcome == CallOutcome::kFault ? 'f'
                                                        : 'u';
    EXPECT_EQ(c.outcomes, outcomes);
    // An answer is the one its single call gives.
    if (outcomes[0] == 'k') {
      EXPECT_EQ("TEMP=21.5", reads[0].text);
    }
    if (outcomes[1] == 'k') {
      EXPECT_EQ("FARBE=\"Gr\xFCn\"", reads[1].text);
    }
    if (outcomes[3] == 'k') {
      EXPECT_EQ(5, reads[3].number);
    }
    if (outcomes[4] == 'k') {
      EXPECT_EQ(15, reads[4].number);
    }
    std::vector<std::string> want;
    for (const char* k = c.calls; *k != '\0'; ++k)
      want.push_back(*k == 'p' ? "system.multicall" : kSomeReadsCalls[*k - '0']);
    EXPECT_EQ(want, runtime_->Calls());
  }
}

// More reads than one multicall takes: every answer still lands on its own read.
TEST_F(RuntimeCalls, BatchesBeyondTheBound) {
  Start();
  std::vector<RuntimeRead> reads(2 * kMulticallBatch + 3);
  for (size_t i = 0; i < reads.size(); ++i) {
    reads[i].kind = i % 2 == 0 ? ReadKind::kVarIdx : ReadKind::kObjIdx;
    reads[i].argument = i % 3 == 0 ? "TEMP" : "ALLESAUS";
  }
  EXPECT_EQ(MulticallSupport::kOffered, RuntimeReadMany(&reads, true));
  for (size_t i = 0; i < reads.size(); ++i) {
    const bool known = (i % 2 == 0) == (i % 3 == 0);  // a variable's or a macro's name
    const int want = !known ? -1 : i % 2 == 0 ? 12 : 15;
    ASSERT_EQ(CallOutcome::kOk, reads[i].outcome) << i;
    ASSERT_EQ(want, reads[i].number) << i;
  }
  EXPECT_EQ(reads.size(), runtime_->Calls().size());
}

}  // namespace

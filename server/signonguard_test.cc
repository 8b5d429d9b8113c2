// signonguard_test.cc: the attempts file: counting, forgetting, the address
// limit and what never gets into it. The wait slots are tested through the
// real program (tests/server_road_test.cc), where processes hold them.
#include "server/signonguard.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/boxfiles.h"
#include "harness.h"
#include "server/request.h"

namespace {

constexpr time_t kT = 1796616600;

class SignOnGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    Request = RequestRec();
    Request.BaseDir = testsupport::MakeTempDir() + "/";
  }
};

TEST_F(SignOnGuard, CountsPerAddressForgetsAndClears) {
  EXPECT_EQ(1, RecordFailedSignOn("10.0.0.1", kT));
  EXPECT_EQ(2, RecordFailedSignOn("10.0.0.1", kT + 1));
  EXPECT_EQ(1, RecordFailedSignOn("fe80::2", kT + 2));
  EXPECT_EQ(3, RecordFailedSignOn("10.0.0.1", kT + 3));
  time_t last = 0;
  EXPECT_EQ(3, RecordedFailures("10.0.0.1", kT + 3, &last));
  EXPECT_EQ(kT + 3, last);
  EXPECT_EQ(0, RecordedFailures("10.0.0.10", kT + 3));
  // 15 minutes after the latest failure the address starts again.
  EXPECT_EQ(3, RecordedFailures("10.0.0.1", kT + 3 + kAttemptMemorySeconds - 1));
  EXPECT_EQ(0, RecordedFailures("10.0.0.1", kT + 3 + kAttemptMemorySeconds));
  EXPECT_EQ(1, RecordFailedSignOn("10.0.0.1", kT + 3 + kAttemptMemorySeconds));
  ClearFailedSignOns("fe80::2");
  EXPECT_EQ(0, RecordedFailures("fe80::2", kT + 3));
  EXPECT_EQ("10.0.0.1;1;" + std::to_string(kT + 3 + kAttemptMemorySeconds) + "\n",
            testsupport::ReadFile(AttemptsFilePath(Request.BaseDir)));
}

TEST_F(SignOnGuard, TimeLockRunsFromTheLatestFailure) {
  RecordFailedSignOn("10.0.0.1", kT);
  RecordFailedSignOn("10.0.0.1", kT);
  EXPECT_FALSE(InsideTimeLock("10.0.0.1", kT));  // attempt 3 has no lock
  RecordFailedSignOn("10.0.0.1", kT + 5);
  EXPECT_TRUE(InsideTimeLock("10.0.0.1", kT + 5));
  EXPECT_TRUE(InsideTimeLock("10.0.0.1", kT + 5 + 15));  // attempt 4: 16 s
  EXPECT_FALSE(InsideTimeLock("10.0.0.1", kT + 5 + 16));
  EXPECT_FALSE(InsideTimeLock("10.0.0.2", kT + 5));
  for (int i = 0; i < 10; ++i) RecordFailedSignOn("10.0.0.1", kT + 100);
  EXPECT_TRUE(InsideTimeLock("10.0.0.1", kT + 100 + 511));  // at most 512 s
  EXPECT_FALSE(InsideTimeLock("10.0.0.1", kT + 100 + 512));
}

TEST_F(SignOnGuard, KeepsAtMostTheNewestAddresses) {
  std::string full;
  for (size_t i = 0; i < kMaxAttemptAddresses; ++i)
    full += "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ";2;" +
            std::to_string(i == 0 ? kT : kT + 1) + "\n";  // 10.1.0.0 the oldest
  testsupport::WriteFile(AttemptsFilePath(Request.BaseDir), full);
  EXPECT_EQ(2, RecordedFailures("10.1.0.0", kT + 100));
  EXPECT_EQ(1, RecordFailedSignOn("192.168.1.1", kT + 100));
  EXPECT_EQ(0, RecordedFailures("10.1.0.0", kT + 100));  // the oldest went
  EXPECT_EQ(2, RecordedFailures("10.1.0.99", kT + 100));
  EXPECT_EQ(1, RecordedFailures("192.168.1.1", kT + 100));
  const std::string now = testsupport::ReadFile(AttemptsFilePath(Request.BaseDir));
  EXPECT_EQ(kMaxAttemptAddresses, static_cast<size_t>(std::count(now.begin(), now.end(), '\n')));
}

TEST_F(SignOnGuard, OnlyAddressesAndWellFormedLinesCount) {
  for (const char* addr : {"a;b", "1.2.3.4\n5.6.7.8;9", "", "x y"})
    EXPECT_EQ(0, RecordFailedSignOn(addr, kT)) << addr;
  EXPECT_FALSE(testsupport::FileExists(AttemptsFilePath(Request.BaseDir)));
  testsupport::WriteFile(AttemptsFilePath(Request.BaseDir),
                         "10.0.0.1;x;" + std::to_string(kT) + "\n;4;" + std::to_string(kT) +
                             "\n10.0.0.2;5;" + std::to_string(kT + 60) + "\n10.0.0.3;5\n");
  EXPECT_EQ(0, RecordedFailures("10.0.0.1", kT));
  EXPECT_EQ(0, RecordedFailures("10.0.0.2", kT));  // a time ahead of now: ignored
  EXPECT_EQ(0, RecordedFailures("10.0.0.3", kT));
}

}  // namespace

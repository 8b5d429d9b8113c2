// signonguard_test.cc: the user name's key in the failure record, and the
// standing (count and time lock left) of a sign-on. The budgets, races and wait
// slots are tested through the real program (tests/server_road_test.cc).
#include "server/signonguard.h"

#include <gtest/gtest.h>

#include "common/boxfiles.h"
#include "harness.h"
#include "server/request.h"

namespace {

TEST(UserNameKey, SiteAndNameWithoutSeparators) {
  EXPECT_EQ("", UserNameKey("HAUS", ""));
  EXPECT_EQ("u:HAUS:anna", UserNameKey("HAUS", "anna"));
  EXPECT_EQ("u:HAUS:Anna", UserNameKey("HAUS", "Anna"));  // as typed
  EXPECT_EQ("u:HAUS:a+b%25FC", UserNameKey("HAUS", "a+b%FC"));
  EXPECT_EQ("u:HAUS:a+b%FC", UserNameKey("HAUS", "a+b\xFC"));  // not the same name
  EXPECT_EQ("u:HAUS:a%3Bb%0A1%3B9", UserNameKey("HAUS", "a;b\n1;9"));
  EXPECT_EQ("u:HAUS:" + std::string(128, 'x'), UserNameKey("HAUS", std::string(5000, 'x')));
}

TEST(GuardedSignOn, LockRunsFromTheLatestFailureOfNetworkOrName) {
  Request = RequestRec();
  Request.BaseDir = testsupport::MakeTempDir() + "/";
  const time_t t = time(nullptr);
  // Network 10.0.0.1: 3 failures 10 s ago (attempt 4: 16 s); anna: 5, 1 s ago (64 s).
  testsupport::WriteFile(AttemptsFilePath(Request.BaseDir),
                         "10.0.0.1;3;" + std::to_string(t - 10) + "\nu:HAUS:anna;5;" +
                             std::to_string(t - 1) + "\n");
  SignOnStandingRec standing = NetworkStanding("10.0.0.1");
  EXPECT_EQ(3, standing.failures);
  EXPECT_GE(standing.lock_left, 5u);
  EXPECT_LE(standing.lock_left, 6u);
  int checks = 0;
  const auto wrong = [&] { ++checks; return false; };
  EXPECT_FALSE(GuardedSignOn("10.0.0.2", "u:HAUS:anna", wrong, &standing));
  EXPECT_EQ(0, checks);  // the name is locked
  EXPECT_EQ(5, standing.failures);
  EXPECT_GE(standing.lock_left, 62u);
  EXPECT_FALSE(GuardedSignOn("10.0.0.2", "u:HAUS:bert", wrong, &standing));
  EXPECT_EQ(1, checks);  // neither is locked: checked and counted for both
  EXPECT_EQ(1, standing.failures);
  EXPECT_EQ(0u, standing.lock_left);
  EXPECT_TRUE(GuardedSignOn("::ffff:10.0.0.2", "u:HAUS:bert", [] { return true; }, &standing));
  EXPECT_EQ(0, standing.failures);  // a success clears the network and the name
  EXPECT_EQ(0, NetworkStanding("10.0.0.2").failures);
}

}  // namespace

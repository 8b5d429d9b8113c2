// sessions_test.cc: session file names, contents, checks and removal.
#include "server/sessions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"
#include "server/request.h"

namespace {

time_t fixed_now = 0;
time_t FixedClock() { return fixed_now; }

class SessionFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    Request = RequestRec();
    dir_ = testsupport::MakeTempDir() + "/";
    Request.BaseDir = dir_;
    Request.SiteName = "TELVARINSERVER";
    SetSessionClockForTest(FixedClock);
  }
  void TearDown() override { SetSessionClockForTest(nullptr); }
  std::string dir_;
};

TEST_F(SessionFiles, CreateNamesAndFillsTheFile) {
  fixed_now = 1268000000 + 528616600;  // 07.12.2026 04:10:00 UTC
  EXPECT_EQ("528616600", CreateSessionFile("192.168.1.10", "alice"));
  EXPECT_EQ("07.12.2026/04:10:00;alice",
            testsupport::ReadFile(dir_ + "TELVARINSERVER528616600192p168p1p10.SID"));
  fixed_now = 1268000000 + 42;
  EXPECT_EQ("42", CreateSessionFile("127.0.0.1", "ALL"));
  EXPECT_TRUE(testsupport::FileExists(dir_ + "TELVARINSERVER42127p0p0p1.SID"));
  EXPECT_EQ("42", CreateSessionFile("fe80::1", "bob"));  // colons stay
  EXPECT_TRUE(testsupport::FileExists(dir_ + "TELVARINSERVER42fe80::1.SID"));
}

TEST_F(SessionFiles, SameSecondSameAddressReplacesTheFile) {
  fixed_now = 1268000000 + 7;
  EXPECT_EQ("7", CreateSessionFile("10.0.0.1", "a"));
  EXPECT_EQ("7", CreateSessionFile("10.0.0.1", "bb"));
  EXPECT_EQ("07.03.2010/22:13:27;bb", testsupport::ReadFile(dir_ + "TELVARINSERVER710p0p0p1.SID"));
}

TEST_F(SessionFiles, ValidOnlyForItsAddressAndSiteUntilRemoved) {
  fixed_now = 1268000000 + 1000;
  const std::string id = CreateSessionFile("192.168.1.10", "alice");
  EXPECT_TRUE(CheckSessionFile(id, "192.168.1.10"));
  EXPECT_FALSE(CheckSessionFile(id, "192.168.1.11"));
  EXPECT_FALSE(CheckSessionFile("1001", "192.168.1.10"));
  Request.SiteName = "GARTEN";
  EXPECT_FALSE(CheckSessionFile(id, "192.168.1.10"));
  RemoveSessionFile(id, "192.168.1.10");  // another site's: nothing happens
  Request.SiteName = "TELVARINSERVER";
  EXPECT_TRUE(CheckSessionFile(id, "192.168.1.10"));
  RemoveSessionFile(id, "192.168.1.10");
  EXPECT_FALSE(CheckSessionFile(id, "192.168.1.10"));
  RemoveSessionFile(id, "192.168.1.10");  // again: no effect, no failure
  EXPECT_TRUE(testsupport::ListDir(dir_).empty());
}

TEST_F(SessionFiles, RequestValuesNeverLeaveTheDirectory) {
  const std::string outside = testsupport::MakeTempDir() + "/";
  testsupport::WriteFile(outside + "X127p0p0p1.SID", "");
  for (const char* id : {"../x", "/etc/passwd", "a/../../b", "", "x y", "..X"}) {
    EXPECT_EQ("", SessionFilePath(id, "127.0.0.1")) << id;
    EXPECT_FALSE(CheckSessionFile(id, "127.0.0.1")) << id;
  }
  for (const char* addr : {"../../x", "1.2.3.4/x", "", "a b"})
    EXPECT_EQ("", SessionFilePath("42", addr)) << addr;
  EXPECT_EQ("*ERROR", CreateSessionFile("1.2/../3", "x"));
  EXPECT_TRUE(testsupport::ListDir(dir_).empty());
}

TEST_F(SessionFiles, UnwritableDirectoryGivesErrorId) {
  Request.BaseDir = dir_ + "missing/";
  EXPECT_EQ("*ERROR", CreateSessionFile("127.0.0.1", "alice"));
  EXPECT_FALSE(CheckSessionFile("*ERROR", "127.0.0.1"));
}

TEST(FormatTimeStamp, UtcWithTheSeparator) {
  EXPECT_EQ("07.12.2026/04:10:00", FormatTimeStamp(1796616600, '/'));
  EXPECT_EQ("01.01.1970 00:00:00", FormatTimeStamp(0, ' '));
  EXPECT_EQ("29.02.2024-23:59:59", FormatTimeStamp(1709251199, '-'));
}

}  // namespace

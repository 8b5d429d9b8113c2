// sessions_test.cc: session file names, contents, checks and removal.
#include "server/sessions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

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
  fixed_now = 1796616600;  // 07.12.2026 04:10:00 UTC
  const std::string id = CreateSessionFile("192.168.1.10", "alice");
  ASSERT_TRUE(IsSessionIdText(id)) << id;
  EXPECT_EQ(18u, id.size());
  EXPECT_NE('0', id[0]);
  const std::string path = dir_ + "TELVARINSERVER" + id + "192p168p1p10.SID";
  EXPECT_EQ("07.12.2026/04:10:00;alice", testsupport::ReadFile(path));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  const std::string other = CreateSessionFile("fe80::1", "bob");  // colons stay
  EXPECT_NE(id, other);
  EXPECT_TRUE(testsupport::FileExists(dir_ + "TELVARINSERVER" + other + "fe80::1.SID"));
}

TEST_F(SessionFiles, IdsAreRandomDigits) {
  // 200 ids: all distinct, and every digit turns up in every place but the first.
  std::set<std::string> ids;
  std::set<char> digits[18];
  for (int i = 0; i < 200; ++i) {
    const std::string id = CreateSessionFile("10.0.0.1", "a");
    ASSERT_EQ(18u, id.size());
    ids.insert(id);
    for (size_t k = 0; k < id.size(); ++k) digits[k].insert(id[k]);
  }
  EXPECT_EQ(200u, ids.size());
  EXPECT_EQ(0u, digits[0].count('0'));
  for (size_t k = 1; k < 18; ++k) EXPECT_EQ(10u, digits[k].size()) << k;
}

TEST_F(SessionFiles, ValidOnlyForItsAddressAndSiteUntilRemoved) {
  const std::string id = CreateSessionFile("192.168.1.10", "alice");
  EXPECT_TRUE(CheckSessionFile(id, "192.168.1.10"));
  EXPECT_FALSE(CheckSessionFile(id, "192.168.1.11"));
  EXPECT_FALSE(CheckSessionFile("528616600", "192.168.1.10"));
  // A time-count id of an earlier version stays valid until signed off.
  testsupport::WriteFile(dir_ + "TELVARINSERVER528616600192p168p1p10.SID", "x;a");
  EXPECT_TRUE(CheckSessionFile("528616600", "192.168.1.10"));
  RemoveSessionFile("528616600", "192.168.1.10");
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
    EXPECT_EQ("", SessionFilePath("528616600", addr)) << addr;
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

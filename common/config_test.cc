// config_test.cc: the control file reader and the file times of the freshness check.
#include "common/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "harness.h"

namespace {

class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir();
    AbKeURL.clear();
  }
  std::string Path(const char* name) { return dir_ + "/" + name; }
  std::string Write(const char* name, const std::string& text) {
    testsupport::WriteFile(Path(name), text);
    return Path(name);
  }
  static void SetTime(const std::string& path, long long when) {
    struct utimbuf times = {static_cast<time_t>(when), static_cast<time_t>(when)};
    ASSERT_EQ(0, utime(path.c_str(), &times));
  }
  std::string dir_;
};

struct CfgCase {
  const char* text;
  const char* want;
};
const CfgCase kCfgCases[] = {
    {"I192.168.0.7\nP2111\n", "xmlrpc://192.168.0.7:2111"},
    {"I192.168.0.7\n", "xmlrpc://192.168.0.7:2110"},
    {"I192.168.0.7\nP\n", "xmlrpc://192.168.0.7:"},          // an empty port is kept
    {"I10.0.0.1\r\nP2111\r\n", "xmlrpc://10.0.0.1\r:2111\r"},  // only the LF is removed
    {"P2112\n", "xmlrpc://localhost:2112"},                   // no host line
    {"Ia\nIb\nP1\nP2\n", "xmlrpc://b:2"},                     // the last of each counts
    {"X\n\nIhost\nP9", "xmlrpc://host:9"},                    // last line without LF
    {"Icontroller-living-room.home.example.org\nP123456\n",
     "xmlrpc://controller-living-room.home.example.org:123456"},  // long values taken whole
};

TEST_F(ConfigFiles, LoadCfgFileBuildsTheAddress) {
  for (const auto& c : kCfgCases) {
    AbKeURL.clear();
    EXPECT_EQ(1, LoadCfgFile(Write("CTLKRN.CFG", c.text)));
    EXPECT_EQ(c.want, AbKeURL) << c.text;
  }
}

TEST_F(ConfigFiles, MissingControlFileLeavesOrSetsTheFallback) {
  AbKeURL.clear();
  EXPECT_EQ(0, LoadCfgFile(Path("none.cfg")));
  EXPECT_EQ("", AbKeURL);
  EXPECT_EQ(0, LoadCfgFile(Path("none.cfg"), "xmlrpc://localhost:2110"));
  EXPECT_EQ("xmlrpc://localhost:2110", AbKeURL);
}

TEST_F(ConfigFiles, FileTimes) {
  const std::string site = Write("SITE.TVS", "x\n");
  // Times that once stood for "no time" are read as the times they are.
  for (long long when : {1000LL, 0LL, 99999999LL, -1LL,
                         4102444800LL}) {  // past 2038: alike on the 32-bit ARM target
    SetTime(site, when);
    EXPECT_EQ(FileTime(when), GetFileTime(site)) << when;
  }
  EXPECT_EQ(std::nullopt, GetFileTime(Path("missing")));

  const std::string af = Write("project.af", "");
  SetTime(af, 2000);
  EXPECT_EQ(FileTime(2000), GetAFFileTime(Write("ABLKRN.CFG", "XY\nAFX=1\nAF=" + af + "\nAF=/x\n")));
  SetTime(af, 0);
  EXPECT_EQ(FileTime(0), GetAFFileTime(Write("ABLKRN.CFG", "AF=" + af + "\n")));
  EXPECT_EQ(std::nullopt, GetAFFileTime(Path("no-runtime-config")));
  EXPECT_EQ(std::nullopt, GetAFFileTime(Write("ABLKRN.CFG", "A\nB=2\n")));
  // "AF=" alone is under 4 bytes as read without its line feed: skipped.
  EXPECT_EQ(std::nullopt, GetAFFileTime(Write("ABLKRN.CFG", "AF=")));
  EXPECT_EQ(std::nullopt, GetAFFileTime(Write("ABLKRN.CFG", "AF=" + Path("gone") + "\n")));
}

}  // namespace

// sitefiles_test.cc: the shared line rules, the site settings reader and the
// page settings keys, from files in a temp folder and from single lines.
#include "server/sitefiles.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class SiteFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sitefiles_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    dir_ = tmpl;
    SiteSettings = SiteSettingsRec();
    PageSettings = PageSettingsRec();
  }
  void TearDown() override {
    for (const std::string& f : files_) std::remove(f.c_str());
    rmdir(dir_.c_str());
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    files_.push_back(path);
    return path;
  }
  std::vector<std::string> Lines(const std::string& bytes) {
    std::FILE* f = std::fopen(Write("lines.txt", bytes).c_str(), "r");
    std::vector<std::string> lines;
    std::string line;
    while (ReadFileLine(f, &line)) lines.push_back(line);
    std::fclose(f);
    return lines;
  }
  std::string dir_;
  std::vector<std::string> files_;
};

struct LineCase {
  const char* bytes;
  std::vector<std::string> want;
};

TEST_F(SiteFilesTest, ReadFileLineFollowsTheLineRules) {
  const LineCase cases[] = {
      {"ab\ncd\n", {"ab", "cd"}},
      {"ab\r\ncd\r\n", {"ab", "cd"}},                // CR LF reads as LF
      {"ab\ncd", {"ab"}},                            // last line without LF is lost
      {"\n\r\nx\nab\n", {"ab"}},                     // 0 and 1 bytes carry nothing
      {"a\r\n", {"a"}},                              // two bytes: kept, CR removed
      {"ab\r\r\n", {"ab\r"}},                        // only one trailing CR goes
      {"a b = c \n", {"a b = c "}},                  // blanks are kept
      {"", {}},
      {"\xE4" "\xF6\n", {"\xE4\xF6"}},               // Latin-1 bytes pass as they are
  };
  for (const LineCase& c : cases) EXPECT_EQ(c.want, Lines(c.bytes)) << c.bytes;
}

TEST_F(SiteFilesTest, ReadSiteSettingsReadsEveryKey) {
  const std::string lf =
      "AUTHMSG=Willkommen = daheim \n"
      "STARTPAGE=Start\n"
      "FREEIPS=192.168.1.;10.0.0.5;\n"
      "BW=800\n"
      "AUTOWIDTH=1\n"
      "NOAUTOSCALE=0\n"
      "TESTMODE=x\n"
      "*Site=Start\n";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  for (const std::string& bytes : {lf, crlf}) {
    SiteSettings = SiteSettingsRec();
    ASSERT_EQ(1, ReadSiteSettings(Write("S.TVS", bytes)));
    EXPECT_EQ("Willkommen = daheim ", SiteSettings.AUTHMSG);
    EXPECT_EQ("Start", SiteSettings.STARTPAGE);
    EXPECT_EQ("192.168.1.;10.0.0.5;", SiteSettings.FREEIPS);
    EXPECT_EQ(800, SiteSettings.BW);
    EXPECT_TRUE(SiteSettings.AUTOWIDTH);
    EXPECT_TRUE(SiteSettings.NOAUTOSCALE);  // "0" switches a flag on
    EXPECT_TRUE(SiteSettings.TESTMODE);
  }
}

TEST_F(SiteFilesTest, ReadSiteSettingsEmptyValuesShortLinesAndRepeats) {
  ASSERT_EQ(1, ReadSiteSettings(Write("S.TVS",
                                      "STARTPAGE=Erste\n"
                                      "STARTPAGE=Zweite\n"
                                      "STARTPAGE=\n"      // empty: keeps Zweite
                                      "AUTOWIDTH=\n"      // empty: stays off
                                      " BW=300\n"         // blank before the key
                                      "bw=300\n"          // case matters
                                      "T\n"
                                      "BW=12abc\n"
                                      "TESTMODE=1")));    // no LF: not read
  EXPECT_EQ("Zweite", SiteSettings.STARTPAGE);
  EXPECT_FALSE(SiteSettings.AUTOWIDTH);
  EXPECT_EQ(12, SiteSettings.BW);
  EXPECT_FALSE(SiteSettings.TESTMODE);
}

TEST_F(SiteFilesTest, ReadSiteSettingsMissingFileLeavesTheRecord) {
  SiteSettings.STARTPAGE = "Vorher";
  SiteSettings.BW = 5;
  EXPECT_EQ(-3, ReadSiteSettings(dir_ + "/NONE.TVS"));
  EXPECT_EQ("Vorher", SiteSettings.STARTPAGE);
  EXPECT_EQ(5, SiteSettings.BW);
}

TEST(SetFontStartValues, ArialWithClassSizesKeepsColours) {
  PageSettings = PageSettingsRec();
  PageSettings.HEAD.colour = "FF0000";
  PageSettings.NAV.style = 2;
  SetFontStartValues();
  const PageSettingsRec& p = PageSettings;
  EXPECT_EQ("Arial", p.HEAD.name);
  EXPECT_EQ("Arial", p.NAV.name);
  EXPECT_EQ(12, p.HEAD.size);
  EXPECT_EQ(10, p.OBJ.size);
  EXPECT_EQ(10, p.VAL.size);
  EXPECT_EQ(8, p.NAV.size);
  EXPECT_EQ("FF0000", p.HEAD.colour);
  EXPECT_EQ(2, p.NAV.style);
}

// Applies lines of one section to fresh settings.
const PageSettingsRec& Apply(int code, const std::vector<std::string>& lines) {
  PageSettings = PageSettingsRec();
  SiteSettings = SiteSettingsRec();
  SiteSettings.BW = 640;
  PageSettings.BW = 640;
  for (const std::string& line : lines) ApplyPageSettingLine(code, line);
  return PageSettings;
}

TEST(ApplyPageSettingLine, PageSection) {
  const PageSettingsRec& p = Apply(1000, {"FILEVERS=140", "BG=ffffff", "BW=1024",
                                          "AUTOWIDTH=0", "NOAUTOSCALE=", "BG="});
  EXPECT_EQ(140, p.FILEVERS);
  EXPECT_EQ("ffffff", p.BG);
  EXPECT_EQ(1024, p.BW);
  EXPECT_TRUE(p.AUTOWIDTH);
  EXPECT_FALSE(p.NOAUTOSCALE);
  EXPECT_EQ(640, Apply(1000, {"BW=1024", "BW=0"}).BW);  // 0 restores the site's width
}

TEST(ApplyPageSettingLine, LayoutFonts) {
  const PageSettingsRec& p =
      Apply(3000, {"FNHEAD=Verdana", "FSHEAD=20", "FSTHEAD=7", "FCHEAD=000000",
                   "FCBHEAD=00FF00", "FNOBJ=Times", "FSVAL=14", "FCNAV=123456",
                   "FCBNAV=", "FSTOBJ=x"});
  EXPECT_EQ("Verdana", p.HEAD.name);
  EXPECT_EQ(20, p.HEAD.size);
  EXPECT_EQ(7, p.HEAD.style);
  EXPECT_EQ("000000", p.HEAD.colour);
  EXPECT_EQ("00FF00", p.HEAD.backColour);
  EXPECT_EQ("Times", p.OBJ.name);
  EXPECT_EQ(0, p.OBJ.style);
  EXPECT_EQ(14, p.VAL.size);
  EXPECT_EQ("123456", p.NAV.colour);
  EXPECT_EQ("", p.NAV.backColour);
  EXPECT_EQ("", p.VAL.colour);  // other classes untouched
}

TEST(ApplyPageSettingLine, LayoutNumbers) {
  const PageSettingsRec& p =
      Apply(3000, {"OBWIDTH=150", "OWWIDTH=80", "OPWIDTH=9", "LMHL=5", "LMOBJ=10",
                   "LMMAC=15", "RW=3", "PW=700", "RHM=2", "FW=1", "CELLD=3", "TXD=4",
                   "INPW=120", "PICSTR=0", "BG=FF0000", "BGPIC=a.png", "FILEVERS=140"});
  EXPECT_EQ(150, p.OBWIDTH);
  EXPECT_EQ(80, p.OWWIDTH);
  EXPECT_EQ(5, p.LMHL);
  EXPECT_EQ(10, p.LMOBJ);
  EXPECT_EQ(15, p.LMMAC);
  EXPECT_EQ(700, p.PW);
  EXPECT_EQ(2, p.RHM);
  EXPECT_EQ(1, p.FW);
  EXPECT_EQ(3, p.CELLD);
  EXPECT_EQ(4, p.TXD);
  EXPECT_EQ(120, p.INPW);
  EXPECT_EQ("", p.BG);       // the layout section's "BG" has no effect
  EXPECT_EQ(0, p.FILEVERS);  // a key of another section is ignored
  EXPECT_EQ(640, Apply(3000, {"PW=0"}).PW);  // 0 takes the page's width
}

TEST(ApplyPageSettingLine, ObjectColumnsSwitchTheFormOnOnly) {
  EXPECT_FALSE(Apply(6000, {"OBJCOLS=0x;1x;2x"}).hasForm);  // "2x" without ";"
  EXPECT_TRUE(Apply(6000, {"OBJCOLS=0x;2x;"}).hasForm);
  const PageSettingsRec& p = Apply(6000, {"OBJCOLS=0x;2x;", "OBJCOLS=0x;1x;", "OBJCOLS="});
  EXPECT_TRUE(p.hasForm);  // never switched off again
  EXPECT_EQ("0x;1x;", p.OBJCOLS);
}

TEST(ApplyPageSettingLine, AutoRefresh) {
  EXPECT_TRUE(Apply(7000, {"AutoAkt=1"}).AutoAkt);
  EXPECT_FALSE(Apply(7000, {"AutoAkt=1", "AutoAkt=0"}).AutoAkt);
  EXPECT_TRUE(Apply(7000, {"AutoAkt=1", "AutoAkt="}).AutoAkt);
  EXPECT_FALSE(Apply(7000, {"AutoAkt=yes"}).AutoAkt);
  EXPECT_EQ(30, Apply(7000, {"AutoAktSec=30"}).AutoAktSec);
  EXPECT_FALSE(Apply(7000, {"AUTOAKT=1"}).AutoAkt);  // keys are case-sensitive
}

}  // namespace

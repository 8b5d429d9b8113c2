// pagehead_test.cc: the head, viewport rule, style sheet, test mode lines,
// form start, navigation paragraph and reload script, captured whole.
#include "server/pagehead.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "common/output.h"
#include "server/request.h"

namespace {

class PageHeadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SiteSettings = SiteSettingsRec();
    PageSettings = PageSettingsRec();
    SetFontStartValues();
    Request = RequestRec();
    Request.SiteName = "Haus";
    Request.PageName = "Keller";
    Request.SessionId = "S42";
    SetOutputCapture(&out_);
  }
  void TearDown() override { SetOutputCapture(nullptr); }
  std::string Take() {
    std::string s = out_;
    out_.clear();
    return s;
  }
  std::string out_;
};

struct CssCase {
  FontSpec font;
  const char* want;
};

TEST(FontToCss, Declarations) {
  const CssCase cases[] = {
      {{"Arial", "", "", 12, 0},
       "font-family: Arial; font-size:12pt; color:#; background-color:#; "},
      {{"Arial", "000000", "000000", 10, 7},
       "font-family: Arial; font-weight: bold; font-style: italic; "
       "text-decoration: underline; font-size:10pt; "},
      {{"Times New Roman", "FF0000", "000000", 8, 2},
       "font-family: Times New Roman; font-style: italic; font-size:8pt; color:#FF0000; "},
      {{"Arial", "000000", "00FF00", 9, 4},
       "font-family: Arial; text-decoration: underline; font-size:9pt; "
       "background-color:#00FF00; "},
      {{"", "000", "ffffff", 0, 8},  // only "000000" writes no colour; bit 8 means nothing
       "font-family: ; font-size:0pt; color:#000; background-color:#ffffff; "},
  };
  for (const CssCase& c : cases) EXPECT_EQ(c.want, FontToCss(c.font));
}

struct ViewportCase {
  bool auto_width;
  bool no_scale;
  int width;
  const char* want;
};

TEST_F(PageHeadTest, ViewportRule) {
  const ViewportCase cases[] = {
      {true, true, 800,
       "<meta name=\"viewport\" content=\"user-scalable=no, width=device-width\">\n"},
      {true, false, 800, "<meta name=\"viewport\" content=\"width=device-width\">\n"},
      {true, false, 0, "<meta name=\"viewport\" content=\"width=device-width\">\n"},
      {false, true, 640, "<meta name=\"viewport\" content=\"user-scalable=no width=640\">\n"},
      {false, false, 640, "<meta name=\"viewport\" content=\"width=640\">\n"},
      {false, true, 0, ""},
      {false, false, -5, ""},
  };
  for (const ViewportCase& c : cases) {
    WriteViewportMeta(c.auto_width, c.no_scale, c.width);
    EXPECT_EQ(c.want, Take()) << c.auto_width << c.no_scale << c.width;
  }
}

TEST_F(PageHeadTest, PlainHead) {
  PageSettings.pageTitle = "Keller";
  PageSettings.SHEAD = "Im Keller";
  WritePageHead();
  EXPECT_EQ(
      "<html><head><title>Keller</title>\n"
      "<meta content='text/html; charset=ISO-8859-1' http-equiv='content-type'>\n"
      "<style type=\"text/css\">\n"
      "h1 {font-family: Arial; font-size:12pt; color:#; background-color:#; "
      "text-align:center; }\n"
      ".objcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".valcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".maccs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".navics {font-family: Arial; font-size:8pt; color:#; background-color:#; }\n"
      "</style>\n"
      "</head><body>\n"
      "<h1>Im Keller</h1>\n",
      Take());
}

TEST_F(PageHeadTest, HeadWithEverySettingAndForm) {
  PageSettingsRec& p = PageSettings;
  p.pageTitle = "K\xFC" "che";
  p.SHEAD = "<b>K\xFC" "che</b>";  // the author's HTML goes in as it is
  p.BW = 800;
  p.NOAUTOSCALE = true;
  p.LMHL = 5;
  p.OBJ.colour = "000000";
  p.OBJ.backColour = "000000";
  p.BG = "ffffff";  // lower case is not "FFFFFF"
  p.PW = 700;
  p.hasForm = true;
  WritePageHead();
  EXPECT_EQ(
      "<html><head><title>K\xFC" "che</title>\n"
      "<meta content='text/html; charset=ISO-8859-1' http-equiv='content-type'>\n"
      "<meta name=\"viewport\" content=\"user-scalable=no width=800\">\n"
      "<style type=\"text/css\">\n"
      "h1 {font-family: Arial; font-size:12pt; color:#; background-color:#; "
      "text-align:left; margin-left:5mm }\n"
      ".objcs {font-family: Arial; font-size:10pt; }\n"
      ".valcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".maccs {font-family: Arial; font-size:10pt; }\n"
      ".navics {font-family: Arial; font-size:8pt; color:#; background-color:#; }\n"
      "</style>\n"
      "</head><body style=\"background-color:#ffffff\">\n"
      "<div style=\"width: 700px;\">\n"
      "<h1><b>K\xFC" "che</b></h1>\n"
      "<form name=\"FORM1\" action=\"TelvarinServer.ccc\" method=\"POST\">\n"
      "<input type=\"hidden\" name=\"SP\" value=Haus>\n"
      "<input type=\"hidden\" name=\"sitename\" value=Keller>\n"
      "<input type=\"hidden\" name=\"sid\" value=S42>\n",
      Take());
}

TEST_F(PageHeadTest, BodyColourOnlyForOtherThanWhite) {
  for (const char* bg : {"FFFFFF", ""}) {
    PageSettings.BG = bg;
    WritePageHead();
    EXPECT_NE(std::string::npos, Take().find("\n</head><body>\n")) << bg;
  }
  PageSettings.BG = "102030";
  WritePageHead();
  EXPECT_NE(std::string::npos, Take().find("\n</head><body style=\"background-color:#102030\">\n"));
}

TEST_F(PageHeadTest, TestModeLinesAreEscapedWithoutPassword) {
  SiteSettings.TESTMODE = true;
  PageSettings.BW = 320;
  PageSettings.SHEAD = "H";
  Request.RequestData = "SP=Haus&x=<script>\"&amp;&Passw=geheim&xPassw=1&Passw=";
  Request.HttpHost = "box<1>";
  Request.UserAgent = "";  // unset: empty, and the page goes on
  WritePageHead();
  const std::string out = Take();
  EXPECT_NE(std::string::npos,
            out.find("</head><body>\n"
                     "Input: SP=Haus&amp;x=&lt;script&gt;&quot;&amp;amp;&amp;Passw=***&amp;xPassw=1"
                     "&amp;Passw=***<br><br>\n"
                     "ENV-VARS Host: box&lt;1&gt;  USER_AGENT:<br><br>\n"
                     "Browserwidth: 320\n"
                     "<h1>H</h1>\n"))
      << out;
}

TEST_F(PageHeadTest, NoTestModeLinesWhenOff) {
  Request.RequestData = "SP=Haus";
  WritePageHead();
  EXPECT_EQ(std::string::npos, Take().find("Input:"));
}

const char kSignoff[] =
    "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=signoff&sid=S42 \">Abmelden</a>\n"
    "<br></p>\n";

struct NavCase {
  int filevers;
  int count;
  int margin;
  std::string list;
  std::string want_links;  // between the paragraph start and the sign-off link
};

TEST_F(PageHeadTest, NavigationBothSeparatorGenerations) {
  const NavCase cases[] = {
      {0, 2, 0, "Keller:Keller@Wetter:>wetter.example/heute",
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Keller&sid=S42\">Keller</a> &nbsp;\n"
       "<a href=\"http://wetter.example/heute\">Wetter</a> &nbsp;\n"},
      {139, 1, 0, "Gar:ten:Garten@X:Y", // a ":" in a label cuts it; the rest shifts
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=ten&sid=S42\">Gar</a> &nbsp;\n"},
      {140, 2, 0, "A@b:c\x03" "Seite\x0B" "Web\x03>host:8080/x",  // "@" ":" are plain text
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Seite&sid=S42\">A@b:c</a> &nbsp;\n"
       "<a href=\"http://host:8080/x\">Web</a> &nbsp;\n"},
      {140, 1, 0, "Keller:Keller@X:Y",  // old separators in a new file: one entry, no target
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=&sid=S42\">Keller:Keller@X:Y</a> &nbsp;\n"},
      {0, 3, 0, "A:a",  // more entries asked for than there are
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=a&sid=S42\">A</a> &nbsp;\n"
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=&sid=S42\"></a> &nbsp;\n"
       "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=&sid=S42\"></a> &nbsp;\n"},
      {0, 0, 0, "A:a", ""},   // a header without parameter: no entries
      {0, 3, 0, "", ""},      // an empty list: only the sign-off link
      {0, -2, 0, "A:a", ""},
  };
  for (const NavCase& c : cases) {
    PageSettings.FILEVERS = c.filevers;
    PageSettings.navEntryCount = c.count;
    PageSettings.LMOBJ = c.margin;
    WriteNavigationBar(c.list);
    EXPECT_EQ("<p class=\"navics\" align=\"center\" ><br>\n" + c.want_links + kSignoff, Take())
        << c.list;
  }
}

// "#9000=99999999999" reads as INT_MAX: the paragraph stops at kMaxNavEntries
// links instead of writing gigabytes (found by fuzz/page_fuzz.cc).
TEST_F(PageHeadTest, NavigationCountIsBounded) {
  PageSettings.navEntryCount = 2147483647;
  WriteNavigationBar("A:a");
  const std::string page = Take();
  size_t links = 0;
  for (size_t at = page.find("<a href"); at != std::string::npos; at = page.find("<a href", at + 1))
    ++links;
  EXPECT_EQ(static_cast<size_t>(kMaxNavEntries) + 1, links);  // and the sign-off link
}

TEST_F(PageHeadTest, NavigationWithMargin) {
  PageSettings.LMOBJ = 12;
  WriteNavigationBar("");
  EXPECT_EQ(std::string("<p class=\"navics\" style=\"text-align:left; margin-left:12mm\"><br>\n") +
                kSignoff,
            Take());
}

// The script's first lines, its address and its last lines keep their bytes;
// the live update fetches that same address, and the whole script stays
// under 2 KiB. What the script does is the browser test's business.
TEST_F(PageHeadTest, ReloadScript) {
  struct {
    int seconds;
    const char* interval;
  } cases[] = {{0, "5000"}, {4, "5000"}, {-3, "5000"}, {5, "5000"}, {30, "30000"},
               {2147483647, "2147483647000"}};
  PageSettings.pageTitle = "Start";  // the reload goes to the page file's page
  const std::string start = "<script language=\"JavaScript\"><!--\nfunction refresh()\n{";
  const std::string url = "'TelvarinServer.ccc?SP=Haus&sitename=Start&sid=S42'";
  for (const auto& c : cases) {
    PageSettings.AutoAktSec = c.seconds;
    WriteAutoRefresh();
    const std::string script = Take();
    const std::string end = std::string("\nsetInterval(\"refresh()\",") + c.interval +
                            ")\n//--></script>\n";
    EXPECT_EQ(start, script.substr(0, start.size())) << script;
    EXPECT_NE(std::string::npos, script.find("\nwindow.location.href = " + url + "}\n")) << script;
    EXPECT_NE(std::string::npos, script.find("\nif(rfLive(" + url + ")")) << script;
    // Written twice, the address is the part that grows: the script stays
    // under 2 KiB with one of 80 bytes, the sample site's (site
    // "TELVARINSERVER", page "Aussen", an 18-digit session id).
    EXPECT_LT(script.size() - 2 * url.size() + 2 * (80 + 2), 2048u) << script.size();
    ASSERT_GE(script.size(), end.size());
    EXPECT_EQ(end, script.substr(script.size() - end.size())) << script;
  }
  EXPECT_EQ(2147483647, PageSettings.AutoAktSec);
  PageSettings.AutoAktSec = 2;
  WriteAutoRefresh();
  EXPECT_EQ(5, PageSettings.AutoAktSec);  // raised when written
}

}  // namespace

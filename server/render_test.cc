// render_test.cc: whole site pages from page files in a temp folder, written
// without a runtime (macro rows, HTML blocks without references, and object
// records that add no row); live values are covered by tests/server_page_test.cc.
#include "server/render.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/output.h"
#include "server/pagehead.h"
#include "server/request.h"
#include "server/sitefiles.h"

namespace {

const char kTop[] =
    "Content-type: text/html\n"
    "\n"
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n";

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/render_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    dir_ = tmpl;
    path_ = dir_ + "/Haus_Start.SHT";
    SiteSettings = SiteSettingsRec();
    PageSettings = PageSettingsRec();
    Request = RequestRec();
    Request.SiteName = "Haus";
    Request.PageName = "Start";
    Request.SessionId = "S1";
    SetOutputCapture(&out_);
  }
  void TearDown() override {
    SetOutputCapture(nullptr);
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  // Renders a page file with these bytes; returns the output below the document type.
  std::string Render(const std::string& bytes, int want_result = 0) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    out_.clear();
    EXPECT_EQ(want_result, RenderSitePage(path_));
    EXPECT_EQ(0u, out_.find(kTop));
    return out_.substr(std::string(kTop).size());
  }
  std::string dir_, path_, out_;
};

// The head of a page with default fonts and settings, titled Start, heading H.
const char kPlainHead[] =
    "<html><head><title>Start</title>\n"
    "<meta content='text/html; charset=ISO-8859-1' http-equiv='content-type'>\n"
    "<style type=\"text/css\">\n"
    "h1 {font-family: Arial; font-size:12pt; color:#; background-color:#; text-align:center; }\n"
    ".objcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
    ".valcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
    ".maccs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
    ".navics {font-family: Arial; font-size:8pt; color:#; background-color:#; }\n"
    "</style>\n"
    "</head><body>\n"
    "<h1>H</h1>\n";

const char kSignoff[] =
    "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=signoff&sid=S1 \">Abmelden</a>\n"
    "<br></p>\n";

TEST_F(RenderTest, MissingPageFile) {
  EXPECT_EQ(3, RenderSitePage(dir_ + "/Haus_Fehlt.SHT"));
  EXPECT_EQ(kTop + ("File not Found: " + dir_ + "/Haus_Fehlt.SHT<br>\n</body></html>\n"), out_);
  out_.clear();
  PageSettings.PW = 300;
  EXPECT_EQ(3, RenderSitePage(dir_ + "/Haus_Fehlt.SHT"));
  EXPECT_EQ(kTop + ("File not Found: " + dir_ + "/Haus_Fehlt.SHT<br>\n</div>\n</body></html>\n"),
            out_);
}

TEST_F(RenderTest, WholePageInFileOrder) {
  SiteSettings.BW = 480;
  const std::string page =
      "vor dem ersten Kopf\r\n"
      "#1000=Start=egal\r\n"
      "FILEVERS=120\r\n"
      "BG=C0C0C0\r\n"
      "#3000\r\n"
      "FSTHEAD=1\r\n"
      "FCHEAD=000000\r\n"
      "FCBHEAD=000000\r\n"
      "LMOBJ=7\r\n"
      "LMMAC=0\r\n"
      "RHM=3\r\n"
      "PW=0\r\n"
      "FW=1\r\n"
      "#6000\r\n"
      "OBJCOLS=0x;1x;2x;\r\n"
      "#7000\r\n"
      "AutoAkt=1\r\n"
      "AutoAktSec=10\r\n"
      "#8000\r\n"
      "Kopf\r\n"
      "SHEAD=Unser Haus\r\n"
      "#9000=1\r\n"
      "NAVI=Keller:Keller@Garten:Garten\r\n"
      "NAVI=Web:>example.org\r\n"
      "#10000\r\n"
      "*ERROR - invalid index\r\n"
      "OBJROW=\r\n"
      "#11000\r\n"
      "MACRO=AllesAus@Alles aus@15\r\n"
      "MACRO=\r\n"
      "#20000\r\n"
      "HTML1=<p>Block <b>eins</b></p>\r\n"
      "HTML2=falscher Abschnitt\r\n"
      "#21000\r\n"
      "HTML2=<i>zwei</i>\r\n"
      "#9001=2\r\n"
      "NAVI=Oben:Oben\r\n"
      "NAVI=Keller:Keller@Dach:Dach\r\n"
      "#42\r\n"
      "NAVI=ignored\r\n";
  const std::string rendered = Render(page);
  // The reload script's bytes are pagehead_test's; here: it comes last, for
  // the page file's page and interval.
  out_.clear();
  WriteAutoRefresh();
  const std::string script = out_;
  EXPECT_NE(std::string::npos,
            script.find("'TelvarinServer.ccc?SP=Haus&sitename=Start&sid=S1'}\n"));
  EXPECT_NE(std::string::npos, script.find("\nsetInterval(\"refresh()\",10000)\n"));
  EXPECT_EQ(
      "<html><head><title>Start</title>\n"
      "<meta content='text/html; charset=ISO-8859-1' http-equiv='content-type'>\n"
      "<meta name=\"viewport\" content=\"width=480\">\n"
      "<style type=\"text/css\">\n"
      "h1 {font-family: Arial; font-weight: bold; font-size:12pt; text-align:center; }\n"
      ".objcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".valcs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".maccs {font-family: Arial; font-size:10pt; color:#; background-color:#; }\n"
      ".navics {font-family: Arial; font-size:8pt; color:#; background-color:#; }\n"
      "</style>\n"
      "</head><body style=\"background-color:#C0C0C0\">\n"
      "<div style=\"width: 480px;\">\n"
      "<h1>Unser Haus</h1>\n"
      "<form name=\"FORM1\" action=\"TelvarinServer.ccc\" method=\"POST\">\n"
      "<input type=\"hidden\" name=\"SP\" value=Haus>\n"
      "<input type=\"hidden\" name=\"sitename\" value=Start>\n"
      "<input type=\"hidden\" name=\"sid\" value=S1>\n"
      "<p class=\"navics\" style=\"text-align:left; margin-left:7mm\"><br>\n"
      "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Keller&sid=S1\">Keller</a> &nbsp;\n" +
          std::string(kSignoff) +
          "<hr>\n"
          "<p class=\"navics\" style=\"text-align:left; margin-left:7mm\"><br>\n"
          "<a href=\"http://example.org\">Web</a> &nbsp;\n" +
          kSignoff +
          "<hr>\n"
          "<table ID=TabObj border=1 cellspacing=0 cellpadding=0 "
          "style=\"text-align:left; margin-left:7mm\">\n"
          "</table><hr>\n"
          "<table ID=TabMacro border=0 cellspacing=0 cellpadding=3 align=center>\n"
          "<tr><td class=maccs><input type=CHECKBOX name=\"x15\" value=ON >&nbsp;Alles "
          "aus&nbsp;</td></tr>\n"
          "</table><hr>\n"
          "<p>Block <b>eins</b></p>\n"
          "<i>zwei</i>\n"
          "<p style=\"text-align:left; margin-left:7mm\">\n"
          "<input type=reset Name=Reset value=Zur&uuml;cksetzen>\n"
          "<input type=submit Name=OKButton value='Neue Werte einstellen'></p>\n"
          "</form>\n"
          "<p class=\"navics\" style=\"text-align:left; margin-left:7mm\"><br>\n"
          "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Keller&sid=S1\">Keller</a> &nbsp;\n"
          "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Dach&sid=S1\">Dach</a> &nbsp;\n" +
          kSignoff + script +
          "</div>\n"
          "</body></html>\n",
      rendered);
}

TEST_F(RenderTest, PageWithoutHeadingLine) {
  // No head, body start or form start; the button row still comes.
  EXPECT_EQ(
      "<p align=center>\n"
      "<input type=reset Name=Reset value=Zur&uuml;cksetzen>\n"
      "<input type=submit Name=OKButton value='Neue Werte einstellen'></p>\n"
      "</form>\n"
      "</body></html>\n",
      Render("#1000=Start\n#6000\nOBJCOLS=0x;2x;\n#8000\nKEINKOPF=1\n"));
}

TEST_F(RenderTest, FormFlagAfterTheHeadGivesButtonsWithoutFormStart) {
  const std::string out = Render("#1000=Start\n#8000\nSHEAD=H\n#6000\nOBJCOLS=2x;\n");
  EXPECT_EQ(std::string(kPlainHead) +
                "<p align=center>\n"
                "<input type=reset Name=Reset value=Zur&uuml;cksetzen>\n"
                "<input type=submit Name=OKButton value='Neue Werte einstellen'></p>\n"
                "</form>\n"
                "</body></html>\n",
            out);
}

TEST_F(RenderTest, TablesCloseAtAnyHeaderOnly) {
  // Empty object table closed by an unknown code; macro table left open at the end.
  EXPECT_EQ(std::string(kPlainHead) +
                "<table ID=TabObj border=2 cellspacing=4 cellpadding=5 align=center>\n"
                "</table><hr>\n"
                "<table ID=TabMacro border=0 cellspacing=0 cellpadding=0 "
                "style=\"text-align:left; margin-left:9mm\">\n"
                "<tr><td class=maccs><input type=CHECKBOX name=\"x3\" value=ON >&nbsp;"
                "Licht&nbsp;</td></tr>\n"
                "</body></html>\n",
            Render("#1000=Start\n#3000\nFW=2\nCELLD=4\nTXD=5\nLMMAC=9\n#8000\nSHEAD=H\n"
                   "#10000\n#12345\nOBJROW=x\n#3000\nFW=0\nCELLD=0\nTXD=0\n#11000\n"
                   "MACRO=L@Licht@3\nMACRO=M@Letzte ohne LF@4"));
  // The object table start uses the values read before its header line.
  EXPECT_EQ(std::string(kPlainHead) +
                "<table ID=TabObj border=2 cellspacing=4 cellpadding=5 align=center>\n"
                "</table><hr>\n"
                "</body></html>\n",
            Render("#1000=Start\n#3000\nFW=2\nCELLD=4\nTXD=5\n#8000\nSHEAD=H\n#10000\n"
                   "#3000\nFW=9\n"));
}

TEST_F(RenderTest, HeaderParametersAndBottomNavigation) {
  // The page title stops at a further "="; a 9000 header without parameter
  // gives 0 entries; the last 9001 header's count holds for the bottom list.
  const std::string out =
      Render("#1000=Haupt=seite\n#8000\nSHEAD=H\n#9000\nNAVI=A:a\n#9001=1\nNAVI=B:b@C:c\n");
  EXPECT_NE(std::string::npos, out.find("<title>Haupt</title>\n")) << out;
  EXPECT_NE(std::string::npos,
            out.find("<h1>H</h1>\n<p class=\"navics\" align=\"center\" ><br>\n" +
                     std::string(kSignoff) + "<hr>\n<p class=\"navics\" align=\"center\" ><br>\n"
                     "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=b&sid=S1\">B</a> &nbsp;\n" +
                     kSignoff + "</body></html>\n"))
      << out;
}

TEST_F(RenderTest, PageWidthFromBwAndSiteWidth) {
  SiteSettings.BW = 500;
  // "BW=0" in the page restores the site's width; "PW=0" takes the width then.
  const std::string out =
      Render("#1000=Start\nBW=900\nBW=0\nAUTOWIDTH=1\n#3000\nPW=0\n#8000\nSHEAD=H\n");
  EXPECT_NE(std::string::npos,
            out.find("<meta name=\"viewport\" content=\"width=device-width\">\n")) << out;
  EXPECT_NE(std::string::npos, out.find("<div style=\"width: 500px;\">\n")) << out;
  EXPECT_EQ(out.size() - 22, out.rfind("</div>\n</body></html>\n"));
}

}  // namespace

// sitecheck_test.cc: the site checker over whole sites written into a temp
// folder: one sound site, the sample site, and one broken site per row with the
// lines the checker prints for it.
#include "sitecheck/sitecheck.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "sitecheck/findings.h"
#include "sitecheck/projectnames.h"

namespace {

// A sound site "S" of two pages: every row changes some of its files.
const std::map<std::string, std::string> kSoundSite = {
    {"S.TVS", "STARTPAGE=Haus\nBW=760\n*Site=Haus\n*Site=Keller\n"},
    {"S_Haus.SHT",
     "#1000=Haus\nFILEVERS=100\nBW=800\n#3000\nFSHEAD=16\nOBWIDTH=240\nPW=\n"
     "#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=Haus\n"
     "#9000=2\nNAVI=Haus:Haus@Keller:Keller\n"
     "#10000\nOBJROW=LICHT@Licht@1@@1@U@@2&Aus&Ein@@\nOBJROW=TEMP@Temperatur@0@@2@N@@@@\n"
     "#11000\nMACRO=ALLESAUS@Alles aus@1\n"
     "#20000\nHTML1=<p>%<temp> Grad</p>\n"
     "#9001=3\nNAVI=Web:>example.org@Ende:signoff@Keller:Keller\n"},
    {"S_Keller.SHT", "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n"},
    {"S_WEBUSERS.USR", "demo;geheim;Haus\n"},
};
const char kProject[] =
    "# sample\nVAR 1 LICHT U Aus\nVAR 2 Temp N 7\nREADONLY TEMP\nMACRO 1 ALLESAUS\n";

struct SiteCase {
  const char* what;
  std::map<std::string, std::string> changes;  // replaced or added files; "" removes one
  const char* project;                         // names checked against it; null: none
  int status;
  std::vector<std::string> lines;              // as printed, the summary last
};

const SiteCase kSiteCases[] = {
    {"sound site", {}, nullptr, kCheckClean, {"S: 0 errors, 0 warnings"}},
    {"sound site against its project", {}, kProject, kCheckClean, {"S: 0 errors, 0 warnings"}},
    {"site definition file missing", {{"S.TVS", ""}}, nullptr, kCheckUnreadable, {}},
    {"listed pages without a page file, start page and width",
     {{"S.TVS",
       "STARTPAGE=Dach\r\nBW=760px\r\n*Site=Haus\r\n*Site=Keller\r\n*Site=Dach\r\n"
       "*Site=../S_Haus\r\n*Site=\r\n"}},
     nullptr,
     kCheckErrors,
     {"S.TVS:1: error: STARTPAGE names the page \"Dach\", which has no page file",
      "S.TVS:2: error: BW is not a number: \"760px\"",
      "S.TVS:5: error: the page \"Dach\" has no page file S_Dach.SHT",
      "S.TVS:6: error: the page \"../S_Haus\" has no page file",
      "S.TVS:7: error: the page \"\" has no page file",
      "S: 5 errors, 0 warnings"}},
    {"object rows: fields, flag, kind, selection; CR LF and short lines count",
     {{"S_Keller.SHT",
       "#1000=Keller\r\n\r\nx\n#8000\r\nSHEAD=Keller\r\n#9000=1\nNAVI=Haus:Haus\n#10000\n"
       "OBJROW=A@A@1@@1@N@@@\n"              // 9 fields
       "OBJROW=B@B@1@@1@N@@@@@\n"            // 11 fields
       "OBJROW=C@C@yes@@1@N@@@@\n"
       "OBJROW=D@D@1@@1@X@@@@\n"
       "OBJROW=E@E@1@@1@@@@@\n"
       "OBJROW=F@F@1@@1@U@@3&Aus&Ein@@\n"
       "OBJROW=G@G@0@@1@U@@zwei&Aus&Ein@@\n"
       "OBJROW=H@H@1@@1@U@@2&Aus&Ein&@@\n"   // a closing "&" opens no choice
       "OBJROW=\x1B[2J@x@1\n"                // a terminal's escape is printed escaped
       "OBJROWS=A@A\nOBJROW=\n"               // no object rows: not looked at
       "OBJROW=1234567890123456789012345678901234567890123456789012345678901@x\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:9: error: object row \"A\" has 9 fields; it needs 10",
      "S_Keller.SHT:10: error: object row \"B\" has 11 fields; it needs 10",
      "S_Keller.SHT:11: error: object row \"C\" has the editable flag \"yes\"; it must be 0 or 1",
      "S_Keller.SHT:12: error: object row \"D\" has the unknown kind \"X\"; it must be S, N or U",
      "S_Keller.SHT:13: error: object row \"E\" has the unknown kind \"\"; it must be S, N or U",
      "S_Keller.SHT:14: error: selection \"F\" counts 3 choices but lists 2",
      "S_Keller.SHT:15: error: selection \"G\" has the count \"zwei\", which is not a number",
      "S_Keller.SHT:17: error: object row \"\\x1B[2J\" has 3 fields; it needs 10",
      "S_Keller.SHT:20: error: object row "
      "\"123456789012345678901234567890123456789012345678901234567890...\" has 2 fields; it "
      "needs 10",
      "S: 9 errors, 0 warnings"}},
    {"macro rows without a label, unknown section headers",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n#4000\n#abc\n#11000=x\n"
       "MACRO=AUS@@1\nMACRO=AN\nMACRO=ZU@Zu\n#9999\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:6: error: unknown section header \"#4000\"",
      "S_Keller.SHT:7: error: unknown section header \"#abc\"",
      "S_Keller.SHT:9: error: macro row \"AUS\" has no label",
      "S_Keller.SHT:10: error: macro row \"AN\" has no label",
      "S_Keller.SHT:12: error: unknown section header \"#9999\"", "S: 5 errors, 0 warnings"}},
    {"navigation: missing pages, counts, separators of file version 140",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=3\nNAVI=Haus:Haus@Dach:Dach@Leer\n"
       "#9000\nNAVI=Haus:Haus\n#9001=2\nKein NAVI\nNAVI=Weg:../S_Haus@Haus:Haus@\n"
       "#1000=Keller\nFILEVERS=140\n#9000=2\nNAVI=a@b:c\x03" "Haus\x0B" "X:Y\x03" "Dach\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:5: error: navigation entry \"Dach\" names the page \"Dach\", which has no "
      "page file",
      "S_Keller.SHT:5: error: navigation entry \"Leer\" names no page",
      "S_Keller.SHT:7: error: the navigation header counts 0 entries but the list has 1",
      "S_Keller.SHT:9: error: the navigation header counts 2 entries but the list has 0",
      "S_Keller.SHT:10: error: navigation entry \"Weg\" names the page \"../S_Haus\", which "
      "has no page file",
      "S_Keller.SHT:14: error: navigation entry \"X:Y\" names the page \"Dach\", which has no "
      "page file",
      "S: 6 errors, 0 warnings"}},
    {"widths and font sizes that are not numbers",
     {{"S_Keller.SHT",
       "#1000=Keller\nBW=1.5\nBG=FFFFFF\n#3000\nFSHEAD=12pt\nFSTHEAD=bold\nFSNAV= 8 \nFSVAL=8 8\n"
       "OBWIDTH=-20\nOWWIDTH=breit\nINPW=-\nRW=x\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n"
       "#7000\nAutoAktSec=bald\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:2: error: BW is not a number: \"1.5\"",
      "S_Keller.SHT:5: error: FSHEAD is not a number: \"12pt\"",
      "S_Keller.SHT:8: error: FSVAL is not a number: \"8 8\"",
      "S_Keller.SHT:10: error: OWWIDTH is not a number: \"breit\"",
      "S_Keller.SHT:11: error: INPW is not a number: \"-\"", "S: 5 errors, 0 warnings"}},
    {"user file: fields and start pages",
     {{"S_WEBUSERS.USR",
       "demo;geheim;Haus\r\nnur;zwei\n\nx\neins\nleer;pw;\ngast;pw;Dach;mehr\n"
       "blank;pw;Keller  \nweg;pw;../S_Haus"}},
     nullptr,
     kCheckErrors,
     {"S_WEBUSERS.USR:2: error: the line has 2 fields; it needs user;password;start page",
      "S_WEBUSERS.USR:5: error: the line has 1 field; it needs user;password;start page",
      "S_WEBUSERS.USR:6: error: the user \"leer\" has no start page",
      "S_WEBUSERS.USR:7: error: the user \"gast\" has the start page \"Dach\", which has no page "
      "file",
      "S_WEBUSERS.USR:9: error: the user \"weg\" has the start page \"../S_Haus\", which has no "
      "page file",
      "S: 5 errors, 0 warnings"}},
    {"user file missing", {{"S_WEBUSERS.USR", ""}}, nullptr, kCheckErrors,
     {"S_WEBUSERS.USR: error: the user file cannot be read; nobody can sign on",
      "S: 1 error, 0 warnings"}},
    {"page files the definition does not list",
     {{"S_Alt.SHT", "#1000=Alt\n"}, {"S_X.TVS", "*Site=Y\n"}, {"S_X_Y.SHT", "#1000=Y\n"},
      {"T_Z.SHT", "#1000=Z\n"}, {"S_\x1B]0;x\x07.SHT", "#1000=Z\n"}},
     nullptr,
     kCheckClean,
     {"S_\\x1B]0;x\\x07.SHT: warning: the page file is not listed by \"*Site=\"",
      "S_Alt.SHT: warning: the page file is not listed by \"*Site=\"",
      "S: 0 errors, 2 warnings"}},
    {"names the project does not know and indices it numbers otherwise",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n#10000\n"
       "OBJROW=licht@Licht@1@@7@U@@2&Aus&Ein@@\nOBJROW=WEG@Weg@0@@-1@N@@@@\n"
       "OBJROW=TEMP@Temperatur@0@@2@N@@@\n#11000\nMACRO=ALLESAUS@Alles aus@0\n"
       "MACRO=NICHTS@Nichts@3\nMACRO=ALLESAUS@Alles aus@\n"
       "#21000\nHTML2=%<Temp> %<weg> %<licht\n"}},
     kProject,
     kCheckErrors,
     {"S_Keller.SHT:7: warning: index \"7\" of \"licht\" is 1 in the runtime, and 1 more index "
      "field differs; the site needs a compile",
      "S_Keller.SHT:8: warning: the runtime knows no variable \"WEG\"",
      "S_Keller.SHT:9: error: object row \"TEMP\" has 9 fields; it needs 10",
      "S_Keller.SHT:12: warning: the runtime knows no macro \"NICHTS\"",
      "S_Keller.SHT:15: warning: the runtime knows no variable \"WEG\"",
      "S: 1 error, 4 warnings"}},
};

class SiteCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sitecheck_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    dir_ = std::string(tmpl) + "/";
  }
  void TearDown() override { ASSERT_EQ(0, system(("rm -rf '" + dir_ + "'").c_str())); }
  void WriteSite(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> files = kSoundSite;
    for (const auto& c : changes) files[c.first] = c.second;
    for (const auto& f : files) {
      if (f.second.empty()) continue;
      std::FILE* out = std::fopen((dir_ + f.first).c_str(), "wb");
      ASSERT_NE(nullptr, out);
      std::fwrite(f.second.data(), 1, f.second.size(), out);
      std::fclose(out);
    }
  }
  std::string dir_;
};

TEST_F(SiteCheckTest, PrintsTheFindingsOfEachSite) {
  for (const SiteCase& c : kSiteCases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(0, system(("rm -f '" + dir_ + "'*").c_str()));
    WriteSite(c.changes);
    CheckSettings = CheckSettingsRec();
    CheckSettings.dir = dir_;
    CheckSettings.site = "S";
    if (c.project != nullptr) {
      std::string error;
      ASSERT_TRUE(ParseProjectNames(c.project, &error)) << error;
      CheckSettings.var_idx = ProjectVarIdx;
      CheckSettings.obj_idx = ProjectObjIdx;
    }
    EXPECT_EQ(c.status, CheckSite());
    if (c.status != kCheckUnreadable) {
      EXPECT_EQ(c.lines, ReportLines("S"));
    }
  }
}

TEST(SiteCheck, TheSampleSiteHasNoFindings) {
  CheckSettings = CheckSettingsRec();
  CheckSettings.dir = SOURCE_DIR "/demo/site/";
  CheckSettings.site = "TELVARINSERVER";
  EXPECT_EQ(kCheckClean, CheckSite());
  EXPECT_EQ(std::vector<std::string>{"TELVARINSERVER: 0 errors, 0 warnings"},
            ReportLines("TELVARINSERVER"));
}

}  // namespace

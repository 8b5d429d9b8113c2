// placesite_test.cc: the real PlaceSite binary in the test box, against the
// trial runtime: a clean site placed with its modes and compiled; a site with
// an error refused, or placed with --force; a file that cannot be read, or no
// runtime, leave the old site as it was. That the placing itself is all or
// none is common/filerewrite_test.cc's (PlaceFiles).
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using testsupport::ListDir;
using testsupport::MakeTempDir;
using testsupport::PlaceSiteBinary;
using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RunProgram;
using testsupport::RuntimeDir;
using testsupport::SheetmakerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

const char kProject[] = "VAR 12 LICHT U Aus\n";
const char kOldPage[] = "#1000=P\n#8000\nSHEAD=alt\n";
const char kNewPage[] =
    "#1000=P\n#8000\nSHEAD=neu\n#10000\nOBJROW=LICHT@Licht@1@@0@U@@2&Aus&Ein@@\n#21000\n";
const char kCompiledPage[] =
    "#1000=P\n#8000\nSHEAD=neu\n#10000\nOBJROW=LICHT@Licht@1@@12@U@@2&Aus&Ein@@\n#21000\n";
const char kErrorPage[] = "#1000=P\n#8000\nSHEAD=P\n#10000\n";
const char kIndexWarning[] =
    "S_P.SHT:5: warning: index \"0\" of \"LICHT\" is 12 in the runtime; the site needs a compile\n";

struct PlaceCase {
  const char* what;
  const char* page;         // the new site's page file
  int odd;                  // S_Q.SHT in the folder is 1 a folder, 2 a link to a file of the box
  bool force;
  bool runtime;
  int status;
  bool placed;              // the box holds the new site afterwards
  std::string out_begins;   // the output's start
  std::string out_ends;     // its end ("{host}" for the address's host)
};

const PlaceCase kCases[] = {
    {"a clean site is placed and compiled", kNewPage, 0, false, true, 0, true,
     std::string(kIndexWarning) + "S: 0 errors, 1 warning\nplaced into {site}: S.TVS S_P.SHT "
     "S_WEBUSERS.USR\n", "S: compiled; http://{host}/telvarin/TelvarinServer.ccc?SP=S\n"},
    {"a site with an error is refused", kErrorPage, 0, false, true, 1, false,
     "S_P.SHT:4: error: the page file ends inside this table",
     "nothing placed: the site has errors (--force places it all the same)\n"},
    {"--force places it all the same", kErrorPage, 0, true, true, 0, true,
     "S_P.SHT:4: error: the page file ends inside this table",
     "S: compiled; http://{host}/telvarin/TelvarinServer.ccc?SP=S\n"},
    {"a file that cannot be read leaves the old site", kNewPage, 1, false, true, 2, false,
     kIndexWarning, "S_Q.SHT: cannot be read as a plain file; nothing placed\n"},
    {"a link is not followed", kNewPage, 2, false, true, 2, false, kIndexWarning,
     "S_Q.SHT: cannot be read as a plain file; nothing placed\n"},
    {"no runtime: nothing placed", kNewPage, 0, false, false, 2, false,
     "the runtime at (no address) does not answer; S is checked without its names\n",
     "nothing placed: the runtime does not answer (--force places it all the same)\n"},
};

std::string Fill(std::string text) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  for (size_t p; (p = text.find("{host}")) != std::string::npos;) text.replace(p, 6, host);
  for (size_t p; (p = text.find("{site}")) != std::string::npos;) text.replace(p, 6, SiteDir());
  return text;
}

int ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

TEST(PlaceSiteProgram, PlacesACheckedSiteWhollyOrNotAtAll) {
  for (const PlaceCase& c : kCases) {
    SCOPED_TRACE(c.what);
    ResetFixedDirs();
    ASSERT_EQ(0, symlink(SheetmakerBinary().c_str(), (SiteDir() + "Sheetmaker").c_str()));
    WriteFile(SiteDir() + "S.TVS", "*Site=P\n");
    WriteFile(SiteDir() + "S_P.SHT", kOldPage);
    WriteFile(SiteDir() + "S_WEBUSERS.USR", "alt;pw;P\n");
    const std::string src = MakeTempDir() + "/";
    WriteFile(src + "S.TVS", "STARTPAGE=P\n*Site=P\n");
    WriteFile(src + "S_P.SHT", c.page);
    WriteFile(src + "S_WEBUSERS.USR", "neu;pw;P\n");
    if (c.odd == 1) {
      ASSERT_EQ(0, mkdir((src + "S_Q.SHT").c_str(), 0755));
    } else if (c.odd == 2) {
      ASSERT_EQ(0, symlink("/etc/passwd", (src + "S_Q.SHT").c_str()));
    }
    TrialRuntime runtime(kProject);
    if (c.runtime) {
      ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
    }

    std::vector<std::string> args = {src};
    if (c.force) args.push_back("--force");
    const ProcResult r = RunProgram(PlaceSiteBinary(), args, {}, "", 120);
    EXPECT_EQ(c.status, r.status) << r.out;
    EXPECT_EQ(0u, r.out.find(Fill(c.out_begins))) << r.out;
    const std::string end = Fill(c.out_ends);
    EXPECT_TRUE(r.out.size() >= end.size() &&
                r.out.compare(r.out.size() - end.size(), end.size(), end) == 0)
        << r.out;
    if (c.placed) {
      EXPECT_EQ("STARTPAGE=P\n*Site=P\n", ReadFile(SiteDir() + "S.TVS"));
      EXPECT_EQ("neu;pw;P\n", ReadFile(SiteDir() + "S_WEBUSERS.USR"));
      EXPECT_EQ(0600, ModeOf(SiteDir() + "S_WEBUSERS.USR"));
      EXPECT_EQ(0600, ModeOf(SiteDir() + "S_P.SHT"));
      EXPECT_EQ(0600, ModeOf(SiteDir() + "S.TVS"));
      if (c.page == kNewPage) {
        EXPECT_EQ(kCompiledPage, ReadFile(SiteDir() + "S_P.SHT"));
      }
    } else {
      EXPECT_EQ("*Site=P\n", ReadFile(SiteDir() + "S.TVS"));
      EXPECT_EQ(kOldPage, ReadFile(SiteDir() + "S_P.SHT"));
      EXPECT_EQ("alt;pw;P\n", ReadFile(SiteDir() + "S_WEBUSERS.USR"));
    }
    for (const std::string& name : ListDir(SiteDir())) {
      EXPECT_NE(0u, name.find(".PlaceSite")) << "a stage folder is left";
    }
    runtime.Stop();
    std::remove((RuntimeDir() + "CTLKRN.CFG").c_str());
    EXPECT_EQ(0, std::system(("rm -rf '" + src + "'").c_str()));
  }
  const ProcResult help = RunProgram(PlaceSiteBinary(), {"--help"}, {});
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find("usage: PlaceSite DIR [--force]"));
}

}  // namespace

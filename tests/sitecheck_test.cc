// sitecheck_test.cc: the real SiteCheck binary: where it looks for the site (the
// box's site directory or --dir), where it finds names (--runtime through the
// box's control file, --project), and its exit statuses and output when the
// site, the project or the runtime cannot be read, and --help. The checks themselves are
// sitecheck/sitecheck_test.cc's.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using testsupport::MakeTempDir;
using testsupport::ProcResult;
using testsupport::ResetFixedDirs;
using testsupport::RunProgram;
using testsupport::RuntimeDir;
using testsupport::SiteCheckBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

const char kProject[] = "VAR 12 LICHT U Aus\n";
const char kSoundPage[] = "#1000=P\n#8000\nSHEAD=P\n";
const char kBrokenPage[] =
    "#1000=P\nbw=1\n#8000\nSHEAD=P\n#10000\nOBJROW=LICHT@Licht@1@@0@N@@@@\n#21000\n";
const char kFindings[] = "S_P.SHT:2: error: \"bw\" is not read: keys are case-sensitive; write BW\n";
// What the names add: the index, and the kind the runtime and the project tell.
const char kNameFindings[] =
    "S_P.SHT:6: warning: index \"0\" of \"LICHT\" is 12 in the runtime; the site needs a "
    "compile\n"
    "S_P.SHT:6: error: object row \"LICHT\" has the kind \"N\"; the runtime's variable is of "
    "kind U\n";

void WriteSite(const std::string& dir, const std::string& page) {
  WriteFile(dir + "S.TVS", "*Site=P\n");
  WriteFile(dir + "S_P.SHT", page);
  WriteFile(dir + "S_WEBUSERS.USR", "demo;pw;P\n");
}

struct RunCase {
  const char* what;
  std::vector<std::string> args;  // "{tmp}" stands for a temp folder with a sound site "S"
  bool runtime;                   // a trial runtime answers at the box's control file
  int status;
  std::string out;                // "{tmp}" and "{site}" stand for the folders
};

const RunCase kRunCases[] = {
    {"the box's site", {"S"}, false, 1, std::string(kFindings) + "S: 1 error, 0 warnings\n"},
    {"a site outside the box", {"--dir", "{tmp}", "S"}, false, 0, "S: 0 errors, 0 warnings\n"},
    {"names against the runtime", {"--runtime", "S"}, true, 1,
     std::string(kFindings) + kNameFindings + "S: 2 errors, 1 warning\n"},
    {"names against a project", {"--project", "{tmp}project.txt", "S"}, false, 1,
     std::string(kFindings) + kNameFindings + "S: 2 errors, 1 warning\n"},
    {"no runtime", {"--runtime", "S"}, false, 2,
     "the runtime at (no address) does not answer; the site was not checked\n"},
    {"a project that does not parse", {"--project", "{tmp}bad.txt", "S"}, false, 2,
     "{tmp}bad.txt:2: VAR needs an index and a name\n"},
    {"no project file", {"--project", "{tmp}none.txt", "S"}, false, 2,
     "{tmp}none.txt: the project file cannot be read\n"},
    {"no site definition file", {"T"}, false, 2,
     "{site}T.TVS: the site definition file cannot be read\n"},
    {"a site name that is no file name", {"--dir", "{tmp}", "../S"}, false, 2,
     "\"../S\" is not a site name\n"},
    {"no site name", {"--dir", "{tmp}"}, false, 2, ""},
    {"two sites", {"S", "T"}, false, 2, ""},
    {"runtime and project", {"--runtime", "--project", "{tmp}project.txt", "S"}, false, 2, ""},
};

std::string Fill(std::string text, const std::string& tmp) {
  for (size_t p; (p = text.find("{tmp}")) != std::string::npos;) text.replace(p, 5, tmp);
  for (size_t p; (p = text.find("{site}")) != std::string::npos;) text.replace(p, 6, SiteDir());
  return text;
}

TEST(SiteCheckProgram, FindsTheSiteAndTheNamesWhereTheArgumentsSay) {
  ResetFixedDirs();
  WriteSite(SiteDir(), kBrokenPage);
  const std::string tmp = MakeTempDir() + "/";
  WriteSite(tmp, kSoundPage);
  WriteFile(tmp + "project.txt", kProject);
  WriteFile(tmp + "bad.txt", "# names\nVAR LICHT U Aus\n");
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<TrialRuntime> runtime;
    if (c.runtime) {
      runtime.reset(new TrialRuntime(kProject));
      ASSERT_TRUE(runtime->Start(RuntimeDir() + "CTLKRN.CFG"));
    }
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(Fill(a, tmp));
    const ProcResult r = RunProgram(SiteCheckBinary(), args, {});
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(Fill(c.out, tmp), r.out);
    if (c.status == 2 && c.out.empty()) {
      EXPECT_NE("", r.err);  // the usage line
    }
    if (runtime) {
      runtime->Stop();
      std::remove((RuntimeDir() + "CTLKRN.CFG").c_str());
    }
  }
  const ProcResult help = RunProgram(SiteCheckBinary(), {"--help"}, {});
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find("usage: SiteCheck"));
  EXPECT_EQ(0, std::system(("rm -rf '" + tmp + "'").c_str()));
}

}  // namespace

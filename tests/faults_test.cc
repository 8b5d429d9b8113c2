// faults_test.cc: every program against a runtime that misbehaves (faults,
// wrong answer types, dropped connections, a hung runtime, a runtime killed in
// the middle of a page) and against broken site files. Each CGI run must end
// with status 0, write one whole page and nothing to standard error, and leave
// the site files as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::RuntimeDir;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

const char kProject[] =
    "VAR 12 LICHT N 1.5\n"
    "VAR 7 TEXT S Ab\n"
    "VAR 3 MODUS U Ein\n"
    "VAR 4 TEMP N 21,5\n"
    "MACRO 15 ALLESAUS\n";

// A page of many rows, so that a runtime killed part way leaves some unread.
std::string LongPage() {
  std::string page =
      "#1000=Lang\n#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=Lang\n#10000\n";
  for (int i = 0; i < 12; ++i)
    page += "OBJROW=Licht@Licht " + std::to_string(i) + "@1@@12@N@@@@#####\n";
  return page + "#11000\nMACRO=AllesAus@Alles aus@15\n#20000\nHTML1=Aussen %<temp> Grad\n#30000\n";
}

const char kSiteFile[] = "BW=640\n*Site=Lang\n";
const char kUsers[] = "anna;geheim;Lang\n";

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetFixedDirs();
    WriteFile(SiteDir() + "Haus.TVS", kSiteFile);
    WriteFile(SiteDir() + "Haus_Lang.SHT", LongPage());
    WriteFile(SiteDir() + "Haus_WEBUSERS.USR", kUsers);
    WriteFile(SiteDir() + "Haus777127p0p0p1.SID", "01.01.2026/00:00:00;anna");
    files_before_ = SiteFiles();
  }

  std::vector<std::string> SiteFiles() {
    return {ReadFile(SiteDir() + "Haus.TVS"), ReadFile(SiteDir() + "Haus_Lang.SHT"),
            ReadFile(SiteDir() + "Haus_WEBUSERS.USR")};
  }

  // One CGI run: status 0, one whole page, nothing on standard error.
  static void ExpectWholePage(const ProcResult& r, const std::string& what) {
    EXPECT_EQ(0, r.status) << what;
    EXPECT_FALSE(r.timed_out) << what;
    EXPECT_EQ("", r.err) << what;
    EXPECT_EQ(0u, r.out.rfind("Content-type: text/html\n\n", 0)) << what;
    const std::string end = "</body></html>\n";
    EXPECT_TRUE(r.out.size() >= end.size() &&
                r.out.compare(r.out.size() - end.size(), end.size(), end) == 0)
        << what << ":\n" << r.out;
  }

  // The requests of both CGI programs that call the runtime.
  void RunEveryRequest(const std::string& what) {
    ExpectWholePage(testsupport::CgiGet(testsupport::ServerBinary(),
                                        "SP=Haus&sitename=Lang&sid=777"),
                    what + ": page");
    ExpectWholePage(testsupport::CgiPost(testsupport::ServerBinary(),
                                         "SP=Haus&sitename=Lang&sid=777&N12q1p5=2&x15=ON"),
                    what + ": form");
    for (const char* query : {"GETVARBYNAME1&TEMP", "SETVARBYNAME&TEMP=1", "CREATEVARLIST&",
                              "STARTMACRO&15", "WORKFILES&del&/home/pi/web/a.txt"})
      ExpectWholePage(testsupport::CgiGet(testsupport::InterfaceBinary(), query),
                      what + ": " + query);
    EXPECT_EQ(files_before_, SiteFiles()) << what;
  }

  std::vector<std::string> files_before_;
};

TEST_F(Faults, MisbehavingRuntimeStillGivesWholePages) {
  const std::vector<std::vector<std::string>> kinds = {
      {"--fault", "all"}, {"--wrong-types"}, {"--drop"}};
  for (const auto& options : kinds) {
    TrialRuntime runtime(kProject, options);
    ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
    RunEveryRequest(options[0]);
  }
  // No runtime at all: nothing listens at the control file's address.
  RunEveryRequest("runtime down");
}

TEST_F(Faults, HungRuntimeCostsOneBoundedWaitPerRun) {
  TrialRuntime runtime(kProject, {"--hang"});
  ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
  const auto start = std::chrono::steady_clock::now();
  ProcResult page = testsupport::CgiGet(testsupport::ServerBinary(),
                                        "SP=Haus&sitename=Lang&sid=777");
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  ExpectWholePage(page, "hung: page");
  EXPECT_LT(spent.count(), 20.0);  // one 10 s wait, not one per row
  EXPECT_NE(std::string::npos, page.out.find("Wert nicht verf&uuml;gbar"));
  EXPECT_EQ(files_before_, SiteFiles());
}

TEST_F(Faults, RuntimeKilledInTheMiddleOfAPage) {
  TrialRuntime runtime(kProject, {"--delay", "0.2"});
  ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
  std::thread killer([&runtime] {
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    runtime.Kill();
  });
  ProcResult page = testsupport::CgiGet(testsupport::ServerBinary(),
                                        "SP=Haus&sitename=Lang&sid=777");
  killer.join();
  ExpectWholePage(page, "killed: page");
  // Some rows were read before the kill, the rest show the fallback.
  EXPECT_NE(std::string::npos, page.out.find("value=1.5"));
  EXPECT_NE(std::string::npos, page.out.find("Wert nicht verf&uuml;gbar"));
  EXPECT_EQ(files_before_, SiteFiles());
}

TEST_F(Faults, PageFileThatIsADirectory) {
  ASSERT_EQ(0, mkdir((SiteDir() + "Haus_Ordner.SHT").c_str(), 0755));
  ExpectWholePage(testsupport::CgiGet(testsupport::ServerBinary(),
                                      "SP=Haus&sitename=Ordner&sid=777"),
                  "directory page");
  EXPECT_EQ(files_before_, SiteFiles());
}

TEST_F(Faults, SheetmakerWithTheRuntimeKilledLosesNothing) {
  TrialRuntime runtime(kProject, {"--delay", "0.2"});
  ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
  std::thread killer([&runtime] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    runtime.Kill();
  });
  ProcResult run = testsupport::RunProgram(testsupport::SheetmakerBinary(), {"Haus"}, {});
  killer.join();
  EXPECT_EQ(4, run.status);  // the runtime went away: nothing rewritten
  EXPECT_EQ("", run.out + run.err);
  EXPECT_EQ(files_before_, SiteFiles());
  for (const std::string& name : testsupport::ListDir(SiteDir()))
    EXPECT_EQ(std::string::npos, name.find("_$")) << name;  // no temporary file left
}

}  // namespace

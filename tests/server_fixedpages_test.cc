// server_fixedpages_test.cc: the login, error and sign-off pages of the real
// TelvarinServer binary, run as a CGI program on a site directory of the test's
// own. Whole pages are compared byte for byte with the hand-written expected
// files tests/data/fixed_*.html. Only the shortest time lock (16 s) is sat
// through; the longer ones are covered by server/fixedpages_test.cc.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using testsupport::CgiGet;
using testsupport::CgiPost;
using testsupport::FileExists;
using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RuntimeDir;
using testsupport::ServerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

std::string Expected(const std::string& name) {
  std::string here = __FILE__;
  return ReadFile(here.substr(0, here.rfind('/') + 1) + "data/" + name);
}

// Session 528616642 of the default client address, on the site Haus.
const char kSessionFile[] = "Haus528616642127p0p0p1.SID";

class FixedPagesProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServerBinary().empty()) GTEST_SKIP() << "TelvarinServer is not part of this build";
    ResetFixedDirs();
  }
  static ProcResult Checked(ProcResult r) {
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    return r;
  }
};

// The login page by attempt. Attempt 4 sits through its time lock of 16 s.
TEST_F(FixedPagesProgram, LoginPageByAttempt) {
  struct LoginCase {
    const char* want_file;
    const char* site_file;  // Haus.TVS; none when null
    const char* method;
    std::string request;
    double min_seconds;  // the time lock
    int failures;        // recorded for the address before the request
  };
  const auto failed = [](const std::string& site, int counter) {
    return "SP=" + site + "&sitename=*&sid=xxx&signoncounter=" + std::to_string(counter) +
           "&User=anna&Passw=falsch&Signon=Anmelden";
  };
  const LoginCase cases[] = {
      {"fixed_login_first.html", "AUTHMSG=Willkommen im <i>Haus</i>\nBW=480\nNOAUTOSCALE=1\n",
       "GET", "SP=Haus", 0, 0},
      {"fixed_login_second.html", "AUTHMSG=Anmeldung\nAUTOWIDTH=1\n", "POST",
       failed("Haus", 1), 0, 0},
      // An empty site name: the login page names the default site.
      {"fixed_login_third.html", nullptr, "POST", failed("", 2), 0, 0},
      // The third failure the box records: attempt 4 waits its lock in full.
      {"fixed_login_fourth.html", nullptr, "POST", failed("Haus", 3), 16, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want_file);
    ResetFixedDirs();
    if (c.site_file) WriteFile(SiteDir() + "Haus.TVS", c.site_file);
    if (c.failures > 0)
      WriteFile(SiteDir() + "SIGNONFAILS.DAT", "127.0.0.1;" + std::to_string(c.failures) + ";" +
                                                   std::to_string(time(nullptr)) + "\n");
    const std::string want = Expected(c.want_file);
    ASSERT_FALSE(want.empty());
    const auto start = std::chrono::steady_clock::now();
    const ProcResult r = std::string(c.method) == "GET" ? CgiGet(ServerBinary(), c.request)
                                                         : CgiPost(ServerBinary(), c.request);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(want, Checked(r).out);
    EXPECT_GE(seconds, c.min_seconds);
    EXPECT_LT(seconds, c.min_seconds + 20);
  }
}

TEST_F(FixedPagesProgram, NinthFailedAttemptShowsTheSignOnError) {
  WriteFile(SiteDir() + "Haus.TVS", "AUTOWIDTH=1\nBW=300\n");
  WriteFile(SiteDir() + "Haus_WEBUSERS.USR", "anna;geheim;Start\n");
  std::string want = Expected("fixed_error_signon.html");
  ASSERT_FALSE(want.empty());
  // A posted counter at or past the largest number is the same ninth attempt.
  for (const char* counter : {"9", "2147483647", "30000000000000000000000000"}) {
    EXPECT_EQ(want, Checked(CgiPost(ServerBinary(), std::string("SP=Haus&sitename=*&sid=xxx") +
                                                        "&signoncounter=" + counter +
                                                        "&User=anna&Passw=falsch&Signon=Anmelden"))
                        .out)
        << counter;
  }
}

TEST_F(FixedPagesProgram, RefusedFormFieldShowsTheParameterError) {
  WriteFile(SiteDir() + "Haus.TVS", "BW=300\n");
  WriteFile(SiteDir() + kSessionFile, "01.01.2026/00:00:00;anna");
  WriteFile(SiteDir() + "Haus_Start.SHT",
            "#6000\nOBJCOLS=0x;2x;\n#10000\nOBJROW=LICHT@Licht@1@@12@N@@@@###\n");
  TrialRuntime runtime("VAR 12 LICHT N 1.5\n", {"--refuse-writes"});
  ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
  std::string want = Expected("fixed_error_parameters.html");
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(want, Checked(CgiPost(ServerBinary(),
                                  "SP=Haus&sitename=Start&sid=528616642&N12q1p5=2&OKButton=OK"))
                      .out);
  EXPECT_EQ((std::vector<std::string>{"getvarbyidx\t1\t12", "setvarbyidx\t12=2"}),
            runtime.Calls());
}

TEST_F(FixedPagesProgram, SignOffEndsTheSession) {
  WriteFile(SiteDir() + "Haus.TVS", "AUTOWIDTH=1\nNOAUTOSCALE=1\n");
  WriteFile(SiteDir() + kSessionFile, "01.01.2026/00:00:00;anna");
  std::string want = Expected("fixed_signoff.html");
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(want, Checked(CgiGet(ServerBinary(), "SP=Haus&sitename=signoff&sid=528616642")).out);
  EXPECT_FALSE(FileExists(SiteDir() + kSessionFile));
  // The same id again is not signed on: the login page.
  std::string again = Checked(CgiGet(ServerBinary(), "SP=Haus&sitename=signoff&sid=528616642")).out;
  EXPECT_NE(std::string::npos, again.find("<title>Telvarin-Server Anmeldung</title>")) << again;
}

}  // namespace

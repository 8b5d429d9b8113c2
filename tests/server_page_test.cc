// server_page_test.cc: site pages from the real TelvarinServer binary, run as a
// CGI program with the trial runtime, on a site directory of the test's own.
// Whole pages are compared byte for byte with the hand-written expected files
// in tests/data/page_*.html; the page files they come from are beside them.
// Every test runs against a runtime that offers "system.multicall", one that
// does not, and one that does not and drops every fourth call of a connection:
// the pages are the same bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using testsupport::CgiGet;
using testsupport::CgiPost;
using testsupport::FileExists;
using testsupport::ListDir;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RuntimeDir;
using testsupport::ServerBinary;
using testsupport::SetFileTime;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

const char kProject[] =
    "VAR 12 LICHT N 1.5\n"
    "VAR 7 TEXT S Ab\n"
    "VAR 3 MODUS U Ein\n"
    "VAR 4 TEMP N 21,5\n"
    "MACRO 15 ALLESAUS\n";

// The request of the rich page: signed on as session 528616600. The empty fourth
// field ends the form walk, so the text after it only shows in test mode.
const char kRichQuery[] = "SP=Haus&sitename=Reich&sid=528616600&&<i>\"x\"";

std::string DataDir() {
  std::string here = __FILE__;
  return here.substr(0, here.rfind('/') + 1) + "data/";
}

// The stamp a page form carries for the file at path: its inode and
// modification time to the nanosecond.
std::string StampOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "<no site file>";
  return std::to_string(st.st_ino) + "-" + std::to_string(st.st_mtim.tv_sec) + "-" +
         std::to_string(st.st_mtim.tv_nsec);
}

// An expected page with "@STAMP@" replaced by the site definition file's stamp.
std::string ExpectedPage(const std::string& name) {
  std::string page = ReadFile(DataDir() + name);
  const size_t at = page.find("@STAMP@");
  if (at != std::string::npos) page.replace(at, 7, StampOf(SiteDir() + "Haus.TVS"));
  return page;
}

constexpr char kProbe[] = "system.multicall";
constexpr char kMarker[] = "NOMULTICALL.DAT";

class ServerPageTest : public ::testing::TestWithParam<std::vector<std::string>> {
 protected:
  void SetUp() override {
    if (ServerBinary().empty()) GTEST_SKIP() << "TelvarinServer is not part of this build";
    ResetFixedDirs();
    // Test mode on, so the client's texts show (escaped) in every site page.
    WriteFile(SiteDir() + "Haus.TVS", "BW=640\r\nTESTMODE=1\r\n*Site=Reich\r\n");
    // Session 528616600 of the default client address 127.0.0.1.
    WriteFile(SiteDir() + "Haus528616600127p0p0p1.SID", "01.01.2026/00:00:00;anna");
    WriteFile(SiteDir() + "Haus_Reich.SHT", ReadFile(DataDir() + "page_rich.SHT"));
    WriteFile(SiteDir() + "HOSTNAMES.DAT", "# the test's name\r\nbox.local\r\n");
    ASSERT_TRUE(runtime_.Start(RuntimeDir() + "CTLKRN.CFG"));
  }

  testsupport::ProcResult GetPage(const std::string& query) {
    testsupport::ProcResult r =
        CgiGet(ServerBinary(), query, "127.0.0.1",
               {{"HTTP_HOST", "box.local"}, {"HTTP_USER_AGENT", "Tester <1>"}});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    return r;
  }

  bool OffersMulticall() const { return GetParam().empty(); }

  // The calls with the refused probe left out and a read sent again at once
  // (after a dropped connection) counted once; a third send stays in.
  std::vector<std::string> DistinctCalls() {
    std::vector<std::string> folded;
    bool repeated = false;
    for (const std::string& call : runtime_.Calls()) {
      if (call == kProbe) continue;
      if (!folded.empty() && folded.back() == call && !repeated) {
        repeated = true;
        continue;
      }
      repeated = false;
      folded.push_back(call);
    }
    return folded;
  }
  size_t Probes() {
    const std::vector<std::string> calls = runtime_.Calls();
    return std::count(calls.begin(), calls.end(), kProbe);
  }

  TrialRuntime runtime_{kProject, GetParam()};
};

INSTANTIATE_TEST_SUITE_P(
    Runtimes, ServerPageTest,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--no-multicall"},
                      std::vector<std::string>{"--no-multicall", "--drop-after", "3"}),
    [](const ::testing::TestParamInfo<std::vector<std::string>>& p) {
      return p.param.empty() ? "Multicall" : p.param.size() == 1 ? "NoMulticall"
                                                                 : "NoMulticallDropping";
    });

TEST_P(ServerPageTest, RichPageWithRuntimeUp) {
  const std::string want = ExpectedPage("page_rich_up.html");
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(want, GetPage(kRichQuery).out);

  // One read per object row with a valid index, one per reference, in page order.
  EXPECT_EQ((std::vector<std::string>{"getvarbyidx\t1\t12", "getvarbyidx\t1\t7",
                                      "getvarbyidx\t1\t3", "getvarbyidx\t1\t4",
                                      "getvarbyname\t1\tTEMP", "getvarbyname\t1\tLICHT"}),
            DistinctCalls());
  EXPECT_EQ(OffersMulticall() ? 0u : 1u, Probes());
}

// A runtime without "system.multicall" is asked for it once per project: the
// note names the AF file's stamp, and a new stamp asks again.
TEST_P(ServerPageTest, NoMulticallNoteFollowsTheProject) {
  const std::string af = runtime_.Dir() + "/project.af";
  WriteFile(RuntimeDir() + "ABLKRN.CFG", "AF=" + af + "\n");
  WriteFile(af, "");
  const long site_time = time(nullptr);
  ASSERT_TRUE(SetFileTime(SiteDir() + "Haus.TVS", site_time));
  // Older than the site: the site is compiled and no compile interferes.
  for (long af_time : {site_time - 100, site_time - 50}) {
    ASSERT_TRUE(SetFileTime(af, af_time));
    runtime_.ClearCalls();
    const std::string first = GetPage(kRichQuery).out;
    EXPECT_EQ(OffersMulticall() ? 0u : 1u, Probes());
    EXPECT_EQ(OffersMulticall() ? "" : std::to_string(af_time) + "\n",
              ReadFile(SiteDir() + kMarker));
    runtime_.ClearCalls();
    EXPECT_EQ(first, GetPage(kRichQuery).out);
    EXPECT_EQ(0u, Probes());
  }
}

TEST_P(ServerPageTest, RichPageWithRuntimeDown) {
  runtime_.Stop();
  const std::string want = ExpectedPage("page_rich_down.html");
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(want, GetPage(kRichQuery).out);
}

TEST_P(ServerPageTest, PageWithoutHeadingLine) {
  WriteFile(SiteDir() + "Haus_Ohne.SHT", ReadFile(DataDir() + "page_noheading.SHT"));
  const std::string want = ReadFile(DataDir() + "page_noheading.html");
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(want, GetPage("SP=Haus&sitename=Ohne&sid=528616600").out);
}

TEST_P(ServerPageTest, MissingPageFile) {
  EXPECT_EQ(
      "Content-type: text/html\n\n"
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
      "File not Found: " + SiteDir() + "Haus_Fehlt.SHT<br>\n"
      "</body></html>\n",
      GetPage("SP=Haus&sitename=Fehlt&sid=528616600").out);
  EXPECT_TRUE(runtime_.Calls().empty());
}

// A selection list shows at most 1000 choices, whatever count its record gives.
TEST_P(ServerPageTest, SelectionCountIsBounded) {
  WriteFile(SiteDir() + "Haus_Liste.SHT",
            "#1000=Liste\n#6000\nOBJCOLS=0x;2x;\n#8000\nSHEAD=Liste\n#10000\n"
            "OBJROW=Modus@Modus@1@@3@U@@99999999999&Aus&Ein@@\n");
  const std::string out = GetPage("SP=Haus&sitename=Liste&sid=528616600").out;
  EXPECT_LT(out.size(), 1024u * 1024u);
  EXPECT_EQ(out.size() - 15, out.rfind("</body></html>\n"));
  size_t options = 0;
  for (size_t at = out.find("<option"); at != std::string::npos; at = out.find("<option", at + 1))
    ++options;
  EXPECT_EQ(1000u, options);
  EXPECT_NE(std::string::npos,
            out.find("<option>Aus</option>\n<option selected>Ein</option>\n<option></option>\n"));
}

TEST_P(ServerPageTest, NewSeparatorsKeepAtAndColonInLabels) {
  WriteFile(SiteDir() + "Haus_Neu.SHT",
            "#1000=Neu\nFILEVERS=140\n#8000\nSHEAD=Neu\n#9000=2\n"
            "NAVI=Keller@1:Nord\x03Keller\x0BWeb\x03>host:8080/a\n"
            "#9001=1\nNAVI=Gar:ten\x03Garten\n");
  const std::string out = GetPage("SP=Haus&sitename=Neu&sid=528616600").out;
  EXPECT_NE(std::string::npos,
            out.find("<h1>Neu</h1>\n"
                     "<p class=\"navics\" align=\"center\" ><br>\n"
                     "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Keller&sid=528616600\">"
                     "Keller@1:Nord</a> &nbsp;\n"
                     "<a href=\"http://host:8080/a\">Web</a> &nbsp;\n"
                     "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=signoff&sid=528616600 \">"
                     "Abmelden</a>\n<br></p>\n<hr>\n"
                     "<p class=\"navics\" align=\"center\" ><br>\n"
                     "<a href=\"TelvarinServer.ccc?SP=Haus&sitename=Garten&sid=528616600\">"
                     "Gar:ten</a> &nbsp;\n"))
      << out;
}

TEST_P(ServerPageTest, SignOnShowsTheUsersStartPageUnderTheNewSession) {
  WriteFile(SiteDir() + "Haus_WEBUSERS.USR", "anna;geheim;Reich\n");
  const std::vector<std::string> before = ListDir(SiteDir());
  testsupport::ProcResult r = CgiPost(
      ServerBinary(), "SP=Haus&sitename=*&sid=xxx&signoncounter=1&User=anna&Passw=geheim",
      "10.0.0.9");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  // The new session file names the session id that the page carries.
  std::vector<std::string> added;
  for (const std::string& name : ListDir(SiteDir()))
    if (std::find(before.begin(), before.end(), name) == before.end() && name != kMarker &&
        name != "SIGNONFAILS.LCK")  // the sign-on's decision is made under this lock
      added.push_back(name);
  ASSERT_EQ(1u, added.size());
  const std::string suffix = "10p0p0p9.SID";
  ASSERT_GT(added[0].size(), 4 + suffix.size());
  const std::string sid = added[0].substr(4, added[0].size() - 4 - suffix.size());
  EXPECT_NE(std::string::npos,
            r.out.find("<h1>Wohnung</h1>\n"
                       "<form name=\"FORM1\" action=\"TelvarinServer.ccc?ST=" +
                       StampOf(SiteDir() + "Haus.TVS") + "\" method=\"POST\">\n"
                       "<input type=\"hidden\" name=\"SP\" value=Haus>\n"
                       "<input type=\"hidden\" name=\"sitename\" value=Reich>\n"
                       "<input type=\"hidden\" name=\"sid\" value=" + sid + ">\n"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("<td class=valcs><input type=text name=N12q1p5 size=5 "
                                          "value=1.5></td>\n"));
  EXPECT_NE(std::string::npos,
            r.out.find("\nwindow.location.href = 'TelvarinServer.ccc?SP=Haus&sitename=Reich&sid=" +
                       sid + "'}\n"));
}

}  // namespace

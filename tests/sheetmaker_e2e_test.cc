// sheetmaker_e2e_test.cc: the compiler started by the web page server. The real
// TelvarinServer (as a CGI program) runs the real Sheetmaker from the site
// directory when the trial runtime's project (its AF file) is newer than the
// site definition file, or the site's compile record names another state of
// the project file: the first request compiles, its page shows the values of
// the new indices, the next request does not compile again.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <ctime>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using testsupport::CgiGet;
using testsupport::ListDir;
using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RuntimeDir;
using testsupport::RunProgram;
using testsupport::ServerBinary;
using testsupport::SheetmakerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

// The first project and a renumbered one: index 12 now belongs to another
// variable, so a page that was not compiled again would show the wrong value.
const char kProject[] =
    "VAR 12 LICHT N 111\n"
    "VAR 4 TEMP N 222\n"
    "MACRO 15 ALLESAUS\n";
const char kRenumbered[] =
    "VAR 12 TEMP N 333\n"
    "VAR 30 LICHT N 444\n"
    "MACRO 2 ALLESAUS\n";

const char kPage[] =
    "#1000=Wohnen\r\n"
    "#6000\r\n"
    "OBJCOLS=0x;1x;2x;\r\n"
    "#8000\r\n"
    "SHEAD=Wohnung\r\n"
    "#10000\r\n"
    "OBJROW=Licht@Licht Flur@0@@1@N@@@@#####\r\n"
    "OBJROW=Temp@Temperatur@0@@1@N@@@@#####\r\n"
    "#11000\r\n"
    "MACRO=AllesAus@Alles aus@1\r\n"
    "#20000\r\n";

const char kQuery[] = "SP=Haus&sitename=Wohnen&sid=528616600";

std::vector<std::string> CallsOf(const TrialRuntime& runtime, const std::string& method) {
  std::vector<std::string> found;
  for (const std::string& call : runtime.Calls())
    if (call.compare(0, method.size() + 1, method + "\t") == 0) found.push_back(call);
  return found;
}

// An object row's label and value cells as the page writes them.
std::string Row(const std::string& label, const std::string& value) {
  return "<td class=objcs width=0>" + label + "</td>\n<td class=valcs width=0>" + value + "</td>";
}

// Waits until the clock has passed into a new second: file times are compared in
// whole seconds, and a project change must come after the last compile.
void WaitForNextSecond() {
  const time_t now = time(nullptr);
  while (time(nullptr) == now) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

class SheetmakerE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServerBinary().empty() || SheetmakerBinary().empty())
      GTEST_SKIP() << "TelvarinServer or Sheetmaker is not part of this build";
    ResetFixedDirs();
    ASSERT_EQ(0, symlink(SheetmakerBinary().c_str(), (SiteDir() + "Sheetmaker").c_str()));
    WriteFile(SiteDir() + "Haus.TVS", "BW=640\r\n*Site=Wohnen\r\n");
    WriteFile(SiteDir() + "Haus_Wohnen.SHT", kPage);
    WriteFile(SiteDir() + "Haus528616600127p0p0p1.SID", "01.01.2026/00:00:00;anna");
    // The site was last compiled long before the runtime's project was loaded.
    struct timeval old_times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(0, utimes((SiteDir() + "Haus.TVS").c_str(), old_times));
    ASSERT_TRUE(runtime_.Start(RuntimeDir() + "CTLKRN.CFG"));
  }

  std::string GetPage() {
    testsupport::ProcResult r = CgiGet(ServerBinary(), kQuery);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    return r.out;
  }

  TrialRuntime runtime_{kProject,
                        {"--ablkrn", RuntimeDir() + "ABLKRN.CFG", "--af", RuntimeDir() + "project.af"}};
};

TEST_F(SheetmakerE2eTest, ProjectChangeCompilesOnceAndPageShowsNewIndices) {
  // The first request finds the site due and compiles it before the page.
  std::string page = GetPage();
  EXPECT_EQ(2u, CallsOf(runtime_, "getvaridx").size());
  EXPECT_EQ((std::vector<std::string>{"getvarbyidx\t1\t12", "getvarbyidx\t1\t4"}),
            CallsOf(runtime_, "getvarbyidx"));
  EXPECT_NE(std::string::npos, page.find(Row("Licht Flur", "111"))) << page;
  EXPECT_NE(std::string::npos, page.find(Row("Temperatur", "222"))) << page;
  EXPECT_NE(std::string::npos, ReadFile(SiteDir() + "Haus_Wohnen.SHT").find("@Alles aus@15\n"));
  EXPECT_EQ("BW=640\n*Site=Wohnen\n", ReadFile(SiteDir() + "Haus.TVS"));

  // The next request finds it compiled.
  runtime_.ClearCalls();
  EXPECT_EQ(page, GetPage());
  EXPECT_TRUE(CallsOf(runtime_, "getvaridx").empty());

  // The runtime loads a renumbered project and touches its AF file.
  WaitForNextSecond();
  ASSERT_TRUE(runtime_.ChangeProject(kRenumbered));
  runtime_.ClearCalls();
  page = GetPage();
  EXPECT_EQ((std::vector<std::string>{"getvaridx\tLicht", "getvaridx\tTemp"}),
            CallsOf(runtime_, "getvaridx"));
  EXPECT_EQ((std::vector<std::string>{"getobjidx\tAllesAus"}), CallsOf(runtime_, "getobjidx"));
  EXPECT_EQ((std::vector<std::string>{"getvarbyidx\t1\t30", "getvarbyidx\t1\t12"}),
            CallsOf(runtime_, "getvarbyidx"));
  EXPECT_NE(std::string::npos, page.find(Row("Licht Flur", "444"))) << page;
  EXPECT_NE(std::string::npos, page.find(Row("Temperatur", "333"))) << page;
  EXPECT_NE(std::string::npos, ReadFile(SiteDir() + "Haus_Wohnen.SHT").find("@Alles aus@2\n"));

  runtime_.ClearCalls();
  EXPECT_EQ(page, GetPage());
  EXPECT_TRUE(CallsOf(runtime_, "getvaridx").empty());
  EXPECT_TRUE(CallsOf(runtime_, "getobjidx").empty());
}

// The site's compile record sees every change of the project file that the
// times do not: a change in the same second as the compile, the file replaced
// by an older one (a backup restored with its times), the "AF=" line naming
// another, older file; and a site without a record (copied onto the box, an
// upgraded box). Each compiles once, then not again.
TEST_F(SheetmakerE2eTest, EveryProjectChangeCompilesOnce) {
  const std::string af = RuntimeDir() + "project.af";
  const std::string site = SiteDir() + "Haus.TVS";
  GetPage();  // compiled against kProject
  struct stat compiled {};
  auto set_time = [](const std::string& path, time_t sec, long nsec) {
    struct timespec times[2] = {{sec, nsec}, {sec, nsec}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
  };
  struct Case {
    const char* what;
    bool renumber;        // the runtime loads the other project first
    std::string project;  // the project file named after the change
    std::function<void()> change;
  };
  const std::string other = RuntimeDir() + "other.af";
  const Case cases[] = {
      {"same second", true, af,
       [&] { set_time(af, compiled.st_mtim.tv_sec, compiled.st_mtim.tv_nsec); }},
      {"older file restored", true, af,
       [&] {
         WriteFile(af + ".bak", "restored\n");
         set_time(af + ".bak", compiled.st_mtime - 3600, 0);
         ASSERT_EQ(0, rename((af + ".bak").c_str(), af.c_str()));
       }},
      {"no record", false, af, [&] { ASSERT_EQ(0, unlink((SiteDir() + "Haus.CMP").c_str())); }},
      {"AF= names another, older file", true, other,
       [&] {
         WriteFile(other, "other\n");
         set_time(other, compiled.st_mtime - 3600, 0);
         WriteFile(RuntimeDir() + "ABLKRN.CFG", "AF=" + other + "\n");
       }},
  };
  bool renumbered = false;
  for (const auto& c : cases) {
    ASSERT_EQ(0, stat(site.c_str(), &compiled));
    if (c.renumber) {
      renumbered = !renumbered;
      ASSERT_TRUE(runtime_.ChangeProject(renumbered ? kRenumbered : kProject));
    }
    c.change();
    // By the times alone the site is fresh.
    struct stat project {};
    ASSERT_EQ(0, stat(c.project.c_str(), &project));
    EXPECT_GE(compiled.st_mtime, project.st_mtime) << c.what;
    runtime_.ClearCalls();
    const std::string page = GetPage();
    EXPECT_EQ(2u, CallsOf(runtime_, "getvaridx").size()) << c.what;
    EXPECT_NE(std::string::npos, page.find(renumbered ? Row("Licht Flur", "444")
                                                      : Row("Licht Flur", "111")))
        << c.what;
    runtime_.ClearCalls();
    GetPage();
    EXPECT_TRUE(CallsOf(runtime_, "getvaridx").empty()) << c.what;
  }
  // The record is the compiler's own: mode 0600.
  struct stat record {};
  ASSERT_EQ(0, stat((SiteDir() + "Haus.CMP").c_str(), &record));
  EXPECT_EQ(0600u, record.st_mode & 07777);
}

// A project dated a day ahead (a clock behind the controller's): the first
// request compiles, and the site definition file takes the project's time, so
// the next requests find the site fresh.
TEST_F(SheetmakerE2eTest, ProjectDatedInTheFutureCompilesOnce) {
  const time_t ahead = time(nullptr) + 86400;
  struct timeval future_times[2] = {{ahead, 0}, {ahead, 0}};
  ASSERT_EQ(0, utimes((RuntimeDir() + "project.af").c_str(), future_times));
  for (int request = 1; request <= 3; ++request) {
    const std::string page = GetPage();
    EXPECT_NE(std::string::npos, page.find(Row("Licht Flur", "111"))) << request;
  }
  EXPECT_EQ(2u, CallsOf(runtime_, "getvaridx").size());
  EXPECT_EQ(1u, CallsOf(runtime_, "getobjidx").size());
  struct stat st {};
  ASSERT_EQ(0, stat((SiteDir() + "Haus.TVS").c_str(), &st));
  EXPECT_EQ(ahead, st.st_mtime);
}

// How many processes wait for the flock on path ("->" lines in /proc/locks).
int WaitersFor(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  const std::string locks = ReadFile("/proc/locks");
  int count = 0;
  size_t begin = 0;
  while (begin < locks.size()) {
    size_t end = locks.find('\n', begin);
    if (end == std::string::npos) end = locks.size();
    const std::string line = locks.substr(begin, end - begin);
    if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos) ++count;
    begin = end + 1;
  }
  return count;
}

// With the site due, 2 compiles and 20 page requests start at once. To make
// "at once" certain, the test holds the site's lock until all 22 compiles wait
// for it: then exactly one does the work, and every page shows its result.
TEST_F(SheetmakerE2eTest, StressTwoCompilesAndTwentyRequestsAtOnce) {
  constexpr int kCompiles = 2, kRequests = 20;
  const std::string lock_path = SiteDir() + "Haus.LCK";
  const int lock = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(0, flock(lock, LOCK_EX));

  std::vector<std::future<ProcResult>> compiles, requests;
  for (int i = 0; i < kCompiles; ++i)
    compiles.push_back(std::async(std::launch::async, [] {
      return RunProgram(SheetmakerBinary(), {"Haus"}, {}, "", 120);
    }));
  for (int i = 0; i < kRequests; ++i)
    requests.push_back(std::async(std::launch::async, [] {
      return CgiGet(ServerBinary(), kQuery);
    }));
  const auto start = std::chrono::steady_clock::now();
  while (WaitersFor(lock_path) < kCompiles + kRequests &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(90))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(kCompiles + kRequests, WaitersFor(lock_path));
  close(lock);

  for (auto& compile : compiles) {
    const ProcResult r = compile.get();
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.out + r.err);
  }
  for (auto& request : requests) {
    const ProcResult r = request.get();
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    // Whole, and with the values of the compiled indices.
    EXPECT_EQ(0u, r.out.find("Content-type: text/html\n\n"));
    EXPECT_NE(std::string::npos, r.out.find(Row("Licht Flur", "111")));
    EXPECT_NE(std::string::npos, r.out.find(Row("Temperatur", "222")));
    EXPECT_EQ(r.out.size() - 15, r.out.rfind("</body></html>\n"));
  }
  EXPECT_EQ(2u, CallsOf(runtime_, "getvaridx").size());
  EXPECT_EQ(1u, CallsOf(runtime_, "getobjidx").size());
  const std::string page = ReadFile(SiteDir() + "Haus_Wohnen.SHT");
  EXPECT_NE(std::string::npos, page.find("OBJROW=Licht@Licht Flur@0@@12@N@@@@#####\n"));
  EXPECT_NE(std::string::npos, page.find("OBJROW=Temp@Temperatur@0@@4@N@@@@#####\n"));
  EXPECT_NE(std::string::npos, page.find("MACRO=AllesAus@Alles aus@15\n#20000\n"));
  EXPECT_EQ("BW=640\n*Site=Wohnen\n", ReadFile(SiteDir() + "Haus.TVS"));
  for (const std::string& name : ListDir(SiteDir()))
    EXPECT_EQ(std::string::npos, name.find("_$")) << name;
}

}  // namespace

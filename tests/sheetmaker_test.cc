// sheetmaker_test.cc: the real Sheetmaker binary against the trial runtime, on
// the test build's site directory: the rewrite rules of page files and the site
// definition file, the exit statuses, a runtime that does not know a name or
// cannot be reached, the site's lock, and two compiles at once and a runtime
// killed in the middle of a compile. Every test runs against a runtime that
// offers "system.multicall" and one that does not: the files are the same.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using testsupport::FileExists;
using testsupport::ListDir;
using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RunProgram;
using testsupport::RuntimeDir;
using testsupport::SheetmakerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;

const char kProject[] =
    "VAR 12 LICHT U Aus\n"
    "VAR 5 TEMP N 21,5\n"
    "MACRO 40 ALLESAUS\n";

// A page with every rule: the index replaced, too few fields, an empty last
// field, look-alike keys, an unknown name, CR LF, short lines, a last line
// without LF.
const char kRichPage[] =
    "#1000=Wohnen\r\n"
    "\r\n"
    "x\n"
    "\n"
    "z\r\n"  // two bytes before the CR is taken off: kept
    "#10000\r\n"
    "OBJROW=Licht@Wohnzimmer Licht@1@x@7@N\r\n"
    "OBJROW=Temp@Temperatur@1@x@@N\r\n"
    "OBJROW=Weg@Nicht mehr da@1@x@3@N\r\n"
    "OBJROWS=Licht@Wohnzimmer Licht@1@x@7@N\r\n"
    "objrow=Licht@Wohnzimmer Licht@1@x@7@N\r\n"
    "#11000\r\n"
    "MACRO=AllesAus@Alles aus@3\r\n"
    "MACRO=AllesAus@Alles aus\r\n"
    "MACRO=AllesAus@Alles aus@\r\n"
    "#20000\r\n"
    "HTML1=<b>Gr\xFC\xDF" "e</b>";
const char kRichPageCompiled[] =
    "#1000=Wohnen\n"
    "z\n"
    "#10000\n"
    "OBJROW=Licht@Wohnzimmer Licht@1@x@12@N\n"
    "OBJROW=Temp@Temperatur@1@x@5@N\n"
    "OBJROW=Weg@Nicht mehr da@1@x@-1@N\n"
    "OBJROWS=Licht@Wohnzimmer Licht@1@x@7@N\n"
    "objrow=Licht@Wohnzimmer Licht@1@x@7@N\n"
    "#11000\n"
    "MACRO=AllesAus@Alles aus@40\n"
    "MACRO=AllesAus@Alles aus\n"
    "MACRO=AllesAus@Alles aus@\n"
    "#20000\n"
    "HTML1=<b>Gr\xFC\xDF" "e</b>\n";
const std::vector<std::string> kRichPageCalls = {
    "getvaridx\tLicht", "getvaridx\tTemp",     "getvaridx\tWeg",
    "getobjidx\tAllesAus", "getobjidx\tAllesAus", "getobjidx\tAllesAus"};

std::string SitePath(const std::string& site) { return SiteDir() + site + ".TVS"; }
std::string PagePath(const std::string& site, const std::string& page) {
  return SiteDir() + site + "_" + page + ".SHT";
}

// A run of the program; it never writes to standard output or standard error.
ProcResult Compile(const std::vector<std::string>& args) {
  ProcResult r = RunProgram(SheetmakerBinary(), args, {}, "", 120);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);
  return r;
}
ProcResult Compile(const std::string& site) { return Compile(std::vector<std::string>{site}); }

bool HasTemporaryFile() {
  for (const std::string& name : ListDir(SiteDir()))
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, "_$") == 0) return true;
  return false;
}

struct timespec MTimeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mtim;
}
bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The refused probe of a runtime without "system.multicall".
constexpr char kProbe[] = "system.multicall";

class SheetmakerTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (SheetmakerBinary().empty()) GTEST_SKIP() << "Sheetmaker is not part of this build";
    ResetFixedDirs();
  }
  // GetParam(): the runtime offers "system.multicall".
  void StartRuntime(std::vector<std::string> options = {}) {
    if (!GetParam()) options.push_back("--no-multicall");
    runtime_.reset(new TrialRuntime(kProject, options));
    ASSERT_TRUE(runtime_->Start(RuntimeDir() + "CTLKRN.CFG"));
  }
  // The lookups received, the probe left out.
  std::vector<std::string> Lookups() const {
    std::vector<std::string> calls = runtime_->Calls();
    calls.erase(std::remove(calls.begin(), calls.end(), kProbe), calls.end());
    return calls;
  }
  size_t Probes() const {
    const std::vector<std::string> calls = runtime_->Calls();
    return std::count(calls.begin(), calls.end(), kProbe);
  }
  std::unique_ptr<TrialRuntime> runtime_;
};

INSTANTIATE_TEST_SUITE_P(Runtimes, SheetmakerTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "Multicall" : "NoMulticall";
                         });

TEST_P(SheetmakerTest, PagesAndSiteFileRewritten) {
  StartRuntime();
  WriteFile(SitePath("Haus"),
            "BW=640\r\n\r\nx\r\n*Site=Wohnen\r\n*Site=Fehlt\r\n*Site=Keller\r\nTESTMODE=1");
  WriteFile(PagePath("Haus", "Wohnen"), kRichPage);
  WriteFile(PagePath("Haus", "Keller"), "#11000\nMACRO=allesaus@Aus@1\n");
  WriteFile(PagePath("Haus", "Andere"), "OBJROW=Licht@L@1@x@7@N\r\n");  // not listed

  EXPECT_EQ(0, Compile("Haus").status);
  EXPECT_EQ(kRichPageCompiled, ReadFile(PagePath("Haus", "Wohnen")));
  EXPECT_EQ("#11000\nMACRO=allesaus@Aus@40\n", ReadFile(PagePath("Haus", "Keller")));
  EXPECT_EQ("OBJROW=Licht@L@1@x@7@N\r\n", ReadFile(PagePath("Haus", "Andere")));
  // Short lines stay in the site definition file; the last line gets its LF.
  EXPECT_EQ("BW=640\n\nx\n*Site=Wohnen\n*Site=Fehlt\n*Site=Keller\nTESTMODE=1\n",
            ReadFile(SitePath("Haus")));
  EXPECT_FALSE(FileExists(PagePath("Haus", "Fehlt")));
  EXPECT_FALSE(HasTemporaryFile());

  std::vector<std::string> want = kRichPageCalls;
  want.push_back("getobjidx\tallesaus");
  EXPECT_EQ(want, Lookups());
  // Without multicall: asked once, then remembered for the other page.
  EXPECT_EQ(GetParam() ? 0u : 1u, Probes());
}

TEST_P(SheetmakerTest, SiteWithoutPagesStillRewritten) {
  StartRuntime();
  WriteFile(SitePath("Leer"), "BW=640\r\nSite=P\r\n *Site=P\r\n");
  WriteFile(PagePath("Leer", "P"), "OBJROW=Licht@L@1@x@7@N\r\n");
  EXPECT_EQ(0, Compile("Leer").status);
  EXPECT_EQ("BW=640\nSite=P\n *Site=P\n", ReadFile(SitePath("Leer")));
  EXPECT_EQ("OBJROW=Licht@L@1@x@7@N\r\n", ReadFile(PagePath("Leer", "P")));
  EXPECT_TRUE(runtime_->Calls().empty());
}

TEST_P(SheetmakerTest, MissingSiteFileChangesNothing) {
  StartRuntime();
  WriteFile(PagePath("Weg", "P"), "OBJROW=Licht@L@1@x@7@N\r\n");
  EXPECT_EQ(3, Compile("Weg").status);
  EXPECT_EQ("OBJROW=Licht@L@1@x@7@N\r\n", ReadFile(PagePath("Weg", "P")));
  EXPECT_EQ((std::vector<std::string>{"Weg_P.SHT"}), ListDir(SiteDir()));
  EXPECT_TRUE(runtime_->Calls().empty());
}

TEST_P(SheetmakerTest, BadSiteNameReadsAndWritesNothing) {
  StartRuntime();
  WriteFile(SiteDir() + "sub.TVS", "*Site=P\n");
  WriteFile(SiteDir() + "sub_P.SHT", "OBJROW=Licht@L@1@x@7@N\r\n");
  const std::vector<std::string> before = ListDir(SiteDir());
  const std::vector<std::vector<std::string>> bad = {
      {}, {""}, {"../sub"}, {"a/b"}, {"a b"}, {"sub;x"}, {std::string(65, 'a')}};
  for (const auto& args : bad) {
    EXPECT_EQ(2, Compile(args).status) << (args.empty() ? "(none)" : args[0]);
  }
  EXPECT_EQ(before, ListDir(SiteDir()));
  EXPECT_EQ("*Site=P\n", ReadFile(SiteDir() + "sub.TVS"));
  EXPECT_EQ("OBJROW=Licht@L@1@x@7@N\r\n", ReadFile(SiteDir() + "sub_P.SHT"));
  EXPECT_TRUE(runtime_->Calls().empty());
}

// A page name that the web page server would refuse never makes the compiler
// touch a file outside the site's own.
TEST_P(SheetmakerTest, PageNameOutsideTheSiteSkipped) {
  StartRuntime();
  WriteFile(SitePath("Haus"), "*Site=/../../Fremd\n*Site=P\n");
  WriteFile(SiteDir() + "Fremd.SHT", "OBJROW=Licht@L@1@x@7@N\r\n");
  WriteFile(PagePath("Haus", "P"), "OBJROW=Licht@L@1@x@7@N\r\n");
  EXPECT_EQ(0, Compile("Haus").status);
  EXPECT_EQ("OBJROW=Licht@L@1@x@7@N\r\n", ReadFile(SiteDir() + "Fremd.SHT"));
  EXPECT_EQ("OBJROW=Licht@L@1@x@12@N\n", ReadFile(PagePath("Haus", "P")));
}

// A fault keeps the line with -1 in its index field; a later run repairs it.
TEST_P(SheetmakerTest, FaultKeepsNameAndLaterRunRepairs) {
  StartRuntime({"--fault", "getvaridx"});
  WriteFile(SitePath("Haus"), "*Site=P\n");
  WriteFile(PagePath("Haus", "P"),
            "OBJROW=Licht@L@1@x@7@N\nOBJROW=Licht@L\nMACRO=AllesAus@A@3\n");
  EXPECT_EQ(0, Compile("Haus").status);
  EXPECT_EQ("OBJROW=Licht@L@1@x@-1@N\nOBJROW=Licht@L\nMACRO=AllesAus@A@40\n",
            ReadFile(PagePath("Haus", "P")));

  StartRuntime();
  EXPECT_EQ(0, Compile("Haus").status);
  EXPECT_EQ("OBJROW=Licht@L@1@x@12@N\nOBJROW=Licht@L\nMACRO=AllesAus@A@40\n",
            ReadFile(PagePath("Haus", "P")));
}

// Without a runtime nothing changes and the site stays due (status 4): no
// control file (empty address), a runtime that is down, one that never answers.
TEST_P(SheetmakerTest, UnreachableRuntimeChangesNothing) {
  enum Way { kNoControlFile, kDown, kHung };
  for (Way way : {kNoControlFile, kDown, kHung}) {
    SCOPED_TRACE(way);
    ResetFixedDirs();
    if (way == kDown) {
      StartRuntime();
      runtime_->Stop();
    } else if (way == kHung) {
      StartRuntime({"--hang"});
    } else {
      runtime_.reset();
    }
    const std::string site = "*Site=Ohne\r\n*Site=P\r\n";
    const std::string page = "x\r\n#10000\r\nOBJROW=Licht@L@1@x@7@N\r\nMACRO=AllesAus@A@3\r\n";
    WriteFile(SitePath("Haus"), site);
    WriteFile(PagePath("Haus", "Ohne"), "#8000\r\n");
    WriteFile(PagePath("Haus", "P"), page);
    const timespec site_time = MTimeOf(SitePath("Haus"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_EQ(4, Compile("Haus").status);
    EXPECT_EQ(page, ReadFile(PagePath("Haus", "P")));
    EXPECT_EQ(site, ReadFile(SitePath("Haus")));
    EXPECT_TRUE(SameTime(site_time, MTimeOf(SitePath("Haus"))));
    // The page without records needs no runtime and is done before.
    EXPECT_EQ("#8000\n", ReadFile(PagePath("Haus", "Ohne")));
    EXPECT_FALSE(HasTemporaryFile());
  }
}

TEST_P(SheetmakerTest, LeftoverTemporaryFilesReplaced) {
  StartRuntime();
  WriteFile(SitePath("Haus"), "*Site=P\r\n");
  WriteFile(SitePath("Haus") + "_$", "*Site=Alt\n");
  WriteFile(PagePath("Haus", "P"), "OBJROW=Licht@L@1@x@7@N\r\n");
  WriteFile(PagePath("Haus", "P") + "_$", "OBJROW=Licht@L@1@x@99@N\nMehr alter Inhalt\n");
  EXPECT_EQ(0, Compile("Haus").status);
  EXPECT_EQ("*Site=P\n", ReadFile(SitePath("Haus")));
  EXPECT_EQ("OBJROW=Licht@L@1@x@12@N\n", ReadFile(PagePath("Haus", "P")));
  EXPECT_FALSE(HasTemporaryFile());
}

// Whether some process waits for the flock on path (a "->" line in /proc/locks).
bool SomeoneWaitsFor(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  const std::string locks = ReadFile("/proc/locks");
  size_t begin = 0;
  while (begin < locks.size()) {
    size_t end = locks.find('\n', begin);
    if (end == std::string::npos) end = locks.size();
    const std::string line = locks.substr(begin, end - begin);
    if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos) return true;
    begin = end + 1;
  }
  return false;
}

// A run that waited for the site's lock does nothing more when the site
// definition file was rewritten meanwhile, and compiles when it was not.
TEST_P(SheetmakerTest, RunThatWaitedSkipsWhenSiteWasCompiledMeanwhile) {
  StartRuntime();
  for (bool rewritten : {true, false}) {
    SCOPED_TRACE(rewritten ? "rewritten while waiting" : "not rewritten");
    runtime_->ClearCalls();
    WriteFile(SitePath("Haus"), "*Site=P\r\n");
    WriteFile(PagePath("Haus", "P"), "OBJROW=Licht@L@1@x@7@N\r\n");
    const std::string lock_path = SiteDir() + "Haus.LCK";
    const int lock = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(0, flock(lock, LOCK_EX));

    auto run = std::async(std::launch::async, [] { return Compile("Haus"); });
    const auto start = std::chrono::steady_clock::now();
    while (!SomeoneWaitsFor(lock_path) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(SomeoneWaitsFor(lock_path));
    if (rewritten) {
      // What the run holding the lock would have done: a new site file by rename.
      WriteFile(SitePath("Haus") + ".new", "*Site=P\n");
      ASSERT_EQ(0, rename((SitePath("Haus") + ".new").c_str(), SitePath("Haus").c_str()));
    }
    close(lock);
    EXPECT_EQ(0, run.get().status);
    if (rewritten) {
      EXPECT_EQ("OBJROW=Licht@L@1@x@7@N\r\n", ReadFile(PagePath("Haus", "P")));
      EXPECT_TRUE(runtime_->Calls().empty());
    } else {
      EXPECT_EQ("OBJROW=Licht@L@1@x@12@N\n", ReadFile(PagePath("Haus", "P")));
      EXPECT_EQ((std::vector<std::string>{"getvaridx\tLicht"}), Lookups());
    }
  }
}

// A site of three pages, each with the rich page's records.
void WriteThreePageSite() {
  WriteFile(SitePath("Haus"), "BW=640\r\n*Site=A\r\n*Site=B\r\n*Site=C\r\n");
  for (const char* page : {"A", "B", "C"}) WriteFile(PagePath("Haus", page), kRichPage);
}

TEST_P(SheetmakerTest, StressTwoCompilesAtOnceOneDoesTheWork) {
  StartRuntime({"--delay", "0.1"});
  WriteThreePageSite();
  auto first = std::async(std::launch::async, [] { return Compile("Haus"); });
  auto second = std::async(std::launch::async, [] { return Compile("Haus"); });
  EXPECT_EQ(0, first.get().status);
  EXPECT_EQ(0, second.get().status);

  for (const char* page : {"A", "B", "C"})
    EXPECT_EQ(kRichPageCompiled, ReadFile(PagePath("Haus", page))) << page;
  EXPECT_EQ("BW=640\n*Site=A\n*Site=B\n*Site=C\n", ReadFile(SitePath("Haus")));
  EXPECT_FALSE(HasTemporaryFile());
  // Exactly one compile's calls: the other run found the site compiled.
  EXPECT_EQ(3 * kRichPageCalls.size(), Lookups().size());
}

TEST_P(SheetmakerTest, StressRuntimeKilledMidCompileLosesNothing) {
  StartRuntime({"--delay", "0.1"});
  WriteThreePageSite();
  const std::string site_before = ReadFile(SitePath("Haus"));
  auto run = std::async(std::launch::async, [] { return Compile("Haus"); });
  // Killed while the second page is being compiled.
  const auto start = std::chrono::steady_clock::now();
  while (Lookups().size() < kRichPageCalls.size() + 2 &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  runtime_->Kill();
  EXPECT_EQ(4, run.get().status);

  EXPECT_EQ(kRichPageCompiled, ReadFile(PagePath("Haus", "A")));
  EXPECT_EQ(kRichPage, ReadFile(PagePath("Haus", "B")));
  EXPECT_EQ(kRichPage, ReadFile(PagePath("Haus", "C")));
  EXPECT_EQ(site_before, ReadFile(SitePath("Haus")));
  EXPECT_FALSE(HasTemporaryFile());

  // The site stayed due: the next run with a runtime completes it.
  StartRuntime();
  EXPECT_EQ(0, Compile("Haus").status);
  // Compiled a second time, page A loses "z": without its CR it is one byte long.
  std::string twice = kRichPageCompiled;
  twice.erase(twice.find("z\n"), 2);
  EXPECT_EQ(twice, ReadFile(PagePath("Haus", "A")));
  EXPECT_EQ(kRichPageCompiled, ReadFile(PagePath("Haus", "B")));
  EXPECT_EQ(kRichPageCompiled, ReadFile(PagePath("Haus", "C")));
  EXPECT_EQ("BW=640\n*Site=A\n*Site=B\n*Site=C\n", ReadFile(SitePath("Haus")));
}

}  // namespace

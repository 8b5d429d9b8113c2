// faults_test.cc: the three programs when things around them go wrong: the
// trial runtime down, answering faults, answering the wrong types, dropping
// connections, refusing writes, killed in the middle of a run, and hung; the
// site directory not writable; a file that the programs read or write being a
// directory. Whatever happens, each CGI run ends with status 0, writes exactly
// one whole page ("Content-type: text/html" ... "</body></html>") and nothing to
// standard error, and every file of the fixed directories is left whole: as it
// was, or (for the compiler) as a complete rewrite.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

using testsupport::InterfaceBinary;
using testsupport::ListDir;
using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RunProgram;
using testsupport::RuntimeDir;
using testsupport::ServerBinary;
using testsupport::SetFileTime;
using testsupport::SheetmakerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 30;
// Variable i has index i and name "V<i>"; every tenth row from the third is a
// text, from the seventh a selection, the others numbers.
char KindOf(int i) { return i % 10 == 3 ? 'S' : i % 10 == 7 ? 'U' : 'N'; }

std::string Project() {
  std::string text;
  for (int i = 1; i <= kRows; ++i) {
    const std::string n = std::to_string(i);
    const char kind = KindOf(i);
    text += "VAR " + n + " V" + n + " " + kind + " " +
            (kind == 'S'   ? "Text " + n
             : kind == 'U' ? std::string("Ein")
                           : n + ",5") +
            "\n";
  }
  return text + "MACRO 40 M1\n";
}

// The page of kRows object rows, a macro, an HTML block with two references
// and both navigations, in the form the compiler writes it (LF line ends, the
// runtime's indices), so that a compile with a healthy runtime leaves it byte
// for byte as it is. index_text "" means each row's own index.
std::string ManyRowsPage(const std::string& index_text = "") {
  std::string text =
      "#1000=Viele\n#3000\nPW=600\n#6000\nOBJCOLS=0x;1x;2x;\n#7000\nAutoAkt=1\nAutoAktSec=5\n"
      "#8000\nSHEAD=Viele Werte\n#9000=1\nNAVI=Klein:Klein\n#10000\n";
  for (int i = 1; i <= kRows; ++i) {
    const std::string n = std::to_string(i);
    const std::string index = index_text.empty() ? n : index_text;
    const char kind = KindOf(i);
    text += "OBJROW=V" + n + "@Wert " + n + "@1@@" + index + "@" + kind +
            (kind == 'U' ? "@@3&Aus&Ein&Auto@@\n" : "@@@@#####\n");
  }
  text += "#11000\nMACRO=M1@Makro 1@" + (index_text.empty() ? std::string("40") : index_text) +
          "\n#20000\nHTML1=<p>%<V1> und %<V2></p>\n#9001=1\nNAVI=Klein:Klein\n";
  return text;
}

const char kSitePage[] = "*Site=Viele\n";
const char kUsers[] = "anna;geheim;Viele\n";
const char kSession[] = "Haus528616600127p0p0p1.SID";
// The site's lock file: the compiler creates it on its first run and never
// removes it.
constexpr char kLockFile[] = "Haus.LCK";
// Beside it, the time of the last compile that found no runtime.
constexpr char kNoRuntimeRecord[] = "Haus.NRT";

// A file of the fixed directories as the test sees it: its mode and bytes
// ("0600 " + bytes), or "<dir>".
using Snapshot = std::map<std::string, std::string>;

std::string ModeText(mode_t mode) {
  char text[8];
  snprintf(text, sizeof text, "%04o ", static_cast<unsigned>(mode & 07777));
  return text;
}

Snapshot TakeSnapshot() {
  Snapshot files;
  for (const std::string& dir : {SiteDir(), RuntimeDir()}) {
    for (const std::string& name : ListDir(dir)) {
      struct stat st {};
      const std::string path = dir + name;
      if (lstat(path.c_str(), &st) != 0) continue;
      files[path] = S_ISDIR(st.st_mode)   ? std::string("<dir>")
                    : S_ISLNK(st.st_mode) ? std::string("<link>")
                                          : ModeText(st.st_mode) + ReadFile(path);
    }
  }
  return files;
}

enum class Prog { kServerGet, kServerPost, kInterface, kSheetmaker };

// One run of one program. A run that may compile the site (the compiler itself,
// or the server on a site that is due) may leave the page file compiled with
// the index of every name it could not look up set to -1.
struct ProgramRun {
  const char* label;
  Prog prog;
  std::string request;                 // query, body, or the compiler's site name
  bool site_due;                       // the site is older than the runtime's project
  std::vector<std::string> must_show;  // texts that a whole page of this kind holds
};

const std::string kPageQuery = "SP=Haus&sitename=Viele&sid=528616600";
// Changed values, each with the code of the value its page showed.
const std::string kFormBody =
    kPageQuery + "&N1q1k5=5&N2q2k5=6&N4q4k5=7&N5q5k5=8&x40=ON&OKButton=OK";
const std::string kSignOnBody =
    "SP=Haus&sitename=*&sid=xxx&signoncounter=1&User=anna&Passw=geheim&Signon=Anmelden";

// Every row's label, the macro and the form's end: the page was not cut short.
std::vector<std::string> WholeSitePage() {
  std::vector<std::string> texts;
  for (int i = 1; i <= kRows; ++i) texts.push_back(">Wert " + std::to_string(i) + "</td>");
  texts.push_back("Makro 1");
  texts.push_back("</form>\n");
  texts.push_back("</div>\n</body></html>\n");
  return texts;
}

const std::vector<ProgramRun>& Runs() {
  static const std::vector<ProgramRun> runs = {
      {"page", Prog::kServerGet, kPageQuery, false, WholeSitePage()},
      {"page of a due site", Prog::kServerGet, kPageQuery, true, WholeSitePage()},
      {"form send", Prog::kServerPost, kFormBody, false, {}},
      {"sign-on", Prog::kServerPost, kSignOnBody, false, WholeSitePage()},
      {"GETVARBYNAME1", Prog::kInterface, "GETVARBYNAME1&V1", false, {"RESULT->"}},
      {"CREATEVARLIST", Prog::kInterface, "CREATEVARLIST&V", false, {"RESULT->"}},
      {"SETVARBYNAME", Prog::kInterface, "SETVARBYNAME&V1=3", false, {"RESULT->"}},
      {"STARTMACRO", Prog::kInterface, "STARTMACRO&40", false, {"RESULT->"}},
      {"WORKFILES",
       Prog::kInterface,
       "WORKFILES&del&/web/x.txt",
       false,
       {"<head><title>Datei-Aktion</title></head><body>\n"}},
      {"compiler", Prog::kSheetmaker, "Haus", true, {}},
      {"ENDAK", Prog::kInterface, "ENDAK", false, {"Ablaufkern beendet"}},
  };
  return runs;
}

// Writes the site: its definition, the page, the user file, the session 528616600 of
// 127.0.0.1, the compiler beside them, and (for a due site) a runtime project
// file newer than the site definition. The site files have a mode that no
// program gives a file it creates (a rewrite keeps it).
void WriteSite(bool site_due) {
  ResetFixedDirs();
  ASSERT_EQ(0, symlink(SheetmakerBinary().c_str(), (SiteDir() + "Sheetmaker").c_str()));
  WriteFile(SiteDir() + "Haus.TVS", kSitePage);
  WriteFile(SiteDir() + "Haus_Viele.SHT", ManyRowsPage());
  WriteFile(SiteDir() + "Haus_WEBUSERS.USR", kUsers);
  WriteFile(SiteDir() + kSession, "01.01.2026/00:00:00;anna");
  for (const char* name : {"Haus.TVS", "Haus_Viele.SHT"})
    ASSERT_EQ(0, chmod((SiteDir() + name).c_str(), 0664));
  if (site_due) {
    WriteFile(RuntimeDir() + "ABLKRN.CFG", "AF=" + RuntimeDir() + "project.af\n");
    WriteFile(RuntimeDir() + "project.af", "");
    ASSERT_TRUE(SetFileTime(SiteDir() + "Haus.TVS", time(nullptr) - 3600));
  }
}

void WriteControlFile(int port) {
  WriteFile(RuntimeDir() + "CTLKRN.CFG", "I127.0.0.1\nP" + std::to_string(port) + "\n");
}

// The CGI environment of a request (GET: query; POST: body on standard input).
std::map<std::string, std::string> CgiEnv(const char* method, const std::string& query,
                                          size_t body_size) {
  std::map<std::string, std::string> env{{"GATEWAY_INTERFACE", "CGI/1.1"},
                                         {"REQUEST_METHOD", method},
                                         {"REMOTE_ADDR", "127.0.0.1"},
                                         {"QUERY_STRING", query}};
  if (std::string(method) == "POST") env["CONTENT_LENGTH"] = std::to_string(body_size);
  return env;
}

// Runs it, through wrapper (a command that runs the program named after it)
// when that is not empty.
ProcResult Execute(const ProgramRun& run, const std::vector<std::string>& wrapper = {}) {
  std::string program;
  std::vector<std::string> args;
  std::map<std::string, std::string> env;
  std::string input;
  switch (run.prog) {
    case Prog::kServerGet:
      program = ServerBinary();
      env = CgiEnv("GET", run.request, 0);
      break;
    case Prog::kServerPost:
      program = ServerBinary();
      env = CgiEnv("POST", "", run.request.size());
      input = run.request;
      break;
    case Prog::kInterface:
      program = InterfaceBinary();
      env = CgiEnv("GET", run.request, 0);
      break;
    case Prog::kSheetmaker:
      program = SheetmakerBinary();
      args = {run.request};
      break;
  }
  if (!wrapper.empty()) {
    args.insert(args.begin(), program);
    args.insert(args.begin(), wrapper.begin() + 1, wrapper.end());
    program = wrapper[0];
  }
  return RunProgram(program, args, env, input);
}

// The run's output and the files after it. before: the files before the run.
// A file a run rewrites keeps its mode; every file a run creates is 0600.
void ExpectSound(const ProgramRun& run, const ProcResult& r, const Snapshot& before) {
  SCOPED_TRACE(run.label);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(0, r.signal);
  EXPECT_EQ("", r.err);
  if (run.prog == Prog::kSheetmaker) {
    EXPECT_TRUE(r.status == 0 || r.status == 4) << r.status;  // 4: no runtime
    EXPECT_EQ("", r.out);
  } else {
    EXPECT_EQ(0, r.status);
    // The interface's pages have a policy header line before the empty line.
    const std::string head = run.prog == Prog::kInterface ? "Content-type: text/html\nContent-"
                                                          : "Content-type: text/html\n\n";
    const std::string tail = "</body></html>\n";
    EXPECT_EQ(0u, r.out.find(head)) << r.out;
    EXPECT_EQ(r.out.find("Content-type:"), r.out.rfind("Content-type:")) << "two pages";
    EXPECT_TRUE(r.out.size() >= tail.size() &&
                r.out.compare(r.out.size() - tail.size(), tail.size(), tail) == 0)
        << r.out;
    for (const std::string& text : run.must_show)
      EXPECT_NE(std::string::npos, r.out.find(text)) << text << "\n" << r.out;
  }

  const Snapshot after = TakeSnapshot();
  const bool may_compile = run.prog == Prog::kSheetmaker || run.site_due;
  for (const auto& file : before) {
    auto found = after.find(file.first);
    if (found == after.end()) {
      ADD_FAILURE() << file.first << " is gone";
      continue;
    }
    if (found->second == file.second) continue;
    // A complete compile by a runtime that answered no index.
    const bool compiled_blind = may_compile && file.first == SiteDir() + "Haus_Viele.SHT" &&
                                found->second == file.second.substr(0, 5) + ManyRowsPage("-1");
    EXPECT_TRUE(compiled_blind) << file.first << " changed:\n" << found->second;
  }
  for (const auto& file : after) {
    if (before.count(file.first)) continue;
    const std::string name = file.first.substr(file.first.rfind('/') + 1);
    const bool new_session = run.request == kSignOnBody && name.size() > 4 &&
                             name.compare(name.size() - 4, 4, ".SID") == 0 &&
                             file.second.size() > 5 &&
                             file.second.compare(file.second.size() - 5, 5, ";anna") == 0;
    // A compile that found no runtime (this run's, or one that ran beside it)
    // notes when, beside the site's lock (seen here, too, while it is written
    // under its temporary name).
    const bool no_runtime_record = name == kNoRuntimeRecord ||
                                   name == std::string(kNoRuntimeRecord) + "_$";
    // The box's count of failed sign-ons and its lock files.
    const bool signon_guard =
        name.rfind("SIGNONFAILS.", 0) == 0 || name.rfind("LOGINWAIT", 0) == 0;
    // The note of a runtime that does not offer "system.multicall".
    const bool no_multicall_note = name == "NOMULTICALL.DAT";
    // The site's lock, made by the first compile (this run's, or one beside it).
    const bool site_lock = name == kLockFile;
    // A complete compile's record of the project file it compiled against.
    const bool compile_record = name == "Haus.CMP" || name == "Haus.CMP_$";
    EXPECT_TRUE(new_session || no_runtime_record || signon_guard || no_multicall_note ||
                site_lock || compile_record)
        << "new file " << file.first;
    EXPECT_EQ(0u, file.second.rfind(ModeText(0600), 0)) << "mode of new file " << file.first;
  }
}

// How the trial runtime misbehaves for a whole table of runs.
struct Misbehaviour {
  const char* label;
  std::vector<std::string> options;
  bool running;
};

void PrintTo(const Misbehaviour& m, std::ostream* os) { *os << m.label; }

class RuntimeMisbehaviourTest : public ::testing::TestWithParam<Misbehaviour> {
 protected:
  void SetUp() override {
    if (ServerBinary().empty() || InterfaceBinary().empty() || SheetmakerBinary().empty())
      GTEST_SKIP() << "the programs are not part of this build";
  }
};

TEST_P(RuntimeMisbehaviourTest, EveryRunWritesAWholePageAndDamagesNoFile) {
  const Misbehaviour& m = GetParam();
  TrialRuntime runtime(Project(), m.options);
  for (const ProgramRun& run : Runs()) {
    SCOPED_TRACE(run.label);
    WriteSite(run.site_due);
    // "ENDAK" ends a runtime that answers it; the next run needs one again.
    if (!runtime.Running()) {
      ASSERT_TRUE(runtime.Start());
    }
    if (!m.running) runtime.Stop();  // its port is left with nobody listening
    WriteControlFile(runtime.port());
    const Snapshot before = TakeSnapshot();
    ExpectSound(run, Execute(run), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RuntimeMisbehaviourTest,
    ::testing::Values(Misbehaviour{"Down", {}, false},
                      Misbehaviour{"AnswersFaults", {"--fault", "all"}, true},
                      Misbehaviour{"AnswersWrongTypes", {"--wrong-types"}, true},
                      Misbehaviour{"DropsConnections", {"--drop"}, true},
                      Misbehaviour{"RefusesWrites", {"--refuse-writes"}, true},
                      Misbehaviour{"AnswersNestedTooDeep", {"--nested", "100000"}, true},
                      Misbehaviour{"AnswersAHugeString", {"--huge-string"}, true},
                      Misbehaviour{"NoMulticall", {"--no-multicall"}, true},
                      Misbehaviour{"NoMulticallDropsEveryThirdCall",
                                   {"--no-multicall", "--drop-after", "2"}, true}),
    [](const ::testing::TestParamInfo<Misbehaviour>& p) { return p.param.label; });

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServerBinary().empty() || InterfaceBinary().empty() || SheetmakerBinary().empty())
      GTEST_SKIP() << "the programs are not part of this build";
  }
};

size_t CountCalls(const TrialRuntime& runtime, const std::string& method) {
  size_t count = 0;
  for (const std::string& call : runtime.Calls())
    if (call.compare(0, method.size() + 1, method + "\t") == 0) ++count;
  return count;
}

// The runtime answers each call late and is killed after a few calls of the
// run: what is left of the page, the form or the compile must fail at once. It
// offers no "system.multicall", so that the page's reads are single calls too.
TEST_F(FaultsTest, RuntimeKilledInTheMiddleOfARun) {
  struct Case {
    size_t run;                      // index into Runs()
    const char* method;              // the calls counted
    size_t calls;                    // killed once that many have arrived
    std::vector<std::string> shows;  // what the page holds after the kill
  };
  const std::string unavailable = "Wert nicht verf&uuml;gbar";
  const Case cases[] = {
      // page: in the middle of the object rows; the rows read before show values
      {0, "getvarbyidx", 5, {"value=1,5>", unavailable}},
      // due site: in the middle of the compile, then the page without a runtime
      {1, "getvaridx", 3, {unavailable}},
      // form send: between two writes
      {2, "setvarbyidx", 2, {"Fehler - ung\xFCltige Parameter beim Seitenaufruf\n"}},
      // the compiler itself
      {9, "getvaridx", 3, {}},
  };
  for (const Case& c : cases) {
    const ProgramRun& run = Runs()[c.run];
    SCOPED_TRACE(run.label);
    WriteSite(run.site_due);
    TrialRuntime runtime(Project(), {"--delay", "0.2", "--no-multicall"});
    ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
    const Snapshot before = TakeSnapshot();
    auto result = std::async(std::launch::async, [&run] { return Execute(run); });
    const auto start = Clock::now();
    while (CountCalls(runtime, c.method) < c.calls &&
           Clock::now() - start < std::chrono::seconds(60))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    runtime.Kill();
    const auto killed = Clock::now();
    const ProcResult r = result.get();
    EXPECT_EQ(c.calls, CountCalls(runtime, c.method));
    // The rest of the run meets no runtime: no 10 s wait, no lingering.
    EXPECT_LT(Clock::now() - killed, std::chrono::seconds(5));
    ExpectSound(run, r, before);
    for (const std::string& text : c.shows)
      EXPECT_NE(std::string::npos, r.out.find(text)) << text << "\n" << r.out;
    if (run.prog == Prog::kSheetmaker) {
      EXPECT_EQ(4, r.status);  // no runtime: nothing rewritten
    }
  }
}

// A runtime that accepts and never answers: every run waits at most once for
// its 10 s bound; the later calls of the run fail at once. The runs go side by
// side, so the whole case costs one bound.
TEST_F(FaultsTest, RuntimeHungCostsEachRunOneBound) {
  WriteSite(false);
  TrialRuntime runtime(Project(), {"--hang"});
  ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
  const Snapshot before = TakeSnapshot();
  const std::vector<size_t> picked = {0, 2, 4, 9};  // page, form send, interface, compiler
  std::vector<std::future<std::pair<ProcResult, double>>> results;
  for (size_t i : picked) {
    results.push_back(std::async(std::launch::async, [i] {
      const auto start = Clock::now();
      ProcResult r = Execute(Runs()[i]);
      return std::make_pair(r, std::chrono::duration<double>(Clock::now() - start).count());
    }));
  }
  for (size_t k = 0; k < picked.size(); ++k) {
    const ProgramRun& run = Runs()[picked[k]];
    const auto outcome = results[k].get();
    SCOPED_TRACE(run.label);
    EXPECT_LT(outcome.second, 20.0);  // one bound of 10 s, plus a loaded machine
    if (k == 0) {
      EXPECT_NE(std::string::npos, outcome.first.out.find("Wert nicht verf&uuml;gbar"));
    }
    ExpectSound(run, outcome.first, before);
  }
  // One request each, then nothing: the page's 30 rows and 2 references went in
  // one multicall, as did the compiler's names. The form send's one call is the
  // read before its first write; the write then fails at once, and the page
  // after it is not even sent.
  EXPECT_EQ(size_t{kRows} + 1u, CountCalls(runtime, "getvarbyidx"));
  EXPECT_EQ(0u, CountCalls(runtime, "setvarbyidx"));
  EXPECT_EQ(2u + 1u, CountCalls(runtime, "getvarbyname"));  // the page's and the interface's
  EXPECT_EQ(size_t{kRows}, CountCalls(runtime, "getvaridx"));
  EXPECT_EQ(1u, CountCalls(runtime, "getobjidx"));
  EXPECT_EQ(2u * kRows + 5u, runtime.Calls().size());
}

// The site due and the runtime hung, five page requests at once: the compile
// that runs first waits its one bound; those that queued behind it for the
// site's lock give up at once, and no page waits for the runtime again.
TEST_F(FaultsTest, RuntimeHungWithTheSiteDueCostsOneBoundNotAQueue) {
  WriteSite(true);
  TrialRuntime runtime(Project(), {"--hang"});
  ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
  const Snapshot before = TakeSnapshot();
  const ProgramRun& run = Runs()[1];  // the page of a due site
  const auto start = Clock::now();
  std::vector<std::future<ProcResult>> results;
  for (int i = 0; i < 5; ++i)
    results.push_back(std::async(std::launch::async, [&run] { return Execute(run); }));
  for (auto& result : results) {
    const ProcResult r = result.get();
    ExpectSound(run, r, before);
    EXPECT_NE(std::string::npos, r.out.find("Wert nicht verf&uuml;gbar"));
  }
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(12));
  // The one compile that asked (all its names in one multicall); no page asked
  // after it.
  std::vector<std::string> asked;
  for (int row = 1; row <= kRows; ++row) asked.push_back("getvaridx\tV" + std::to_string(row));
  asked.push_back("getobjidx\tM1");
  EXPECT_EQ(asked, runtime.Calls());
}

// A file that a run reads or writes is a directory. (A session file cannot be
// placed in the way: its name holds a random id; sessions_test.cc covers a
// session file that cannot be created.)
TEST_F(FaultsTest, AFileThatIsADirectory) {
  struct Case {
    const char* label;
    std::string path;  // made a directory
    ProgramRun run;
  };
  const Case cases[] = {
      {"page file",
       SiteDir() + "Haus_Viele.SHT",
       {"page", Prog::kServerGet, kPageQuery, false, {}}},
      {"page file, compiler",
       SiteDir() + "Haus_Viele.SHT",
       {"compiler", Prog::kSheetmaker, "Haus", true, {}}},
      {"site definition file", SiteDir() + "Haus.TVS", Runs()[1]},
      {"user file",
       SiteDir() + "Haus_WEBUSERS.USR",
       {"sign-on",
        Prog::kServerPost,
        kSignOnBody,
        false,
        {"Benutzer oder Kennwort ist ung&uuml;ltig"}}},
      {"control file", RuntimeDir() + "CTLKRN.CFG", Runs()[0]},
      {"control file, interface", RuntimeDir() + "CTLKRN.CFG", Runs()[4]},
      {"access file",
       RuntimeDir() + "TELVARINSAUTH.DAT",
       {"SETAUTH", Prog::kInterface, "SETAUTH&neu", false, {"RESULT->ERROR\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteSite(c.run.site_due);
    TrialRuntime runtime(Project());
    ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
    unlink(c.path.c_str());
    ASSERT_EQ(0, mkdir(c.path.c_str(), 0755));
    if (c.run.site_due) {
      ASSERT_TRUE(SetFileTime(SiteDir() + "Haus.TVS", time(nullptr) - 3600));
    }
    const Snapshot before = TakeSnapshot();
    ExpectSound(c.run, Execute(c.run), before);
  }
}

// The site directory (and the runtime's) not writable: sign-on cannot create
// its session file, sign-off cannot delete it, the compiler can neither lock
// nor rewrite, the interface cannot write its access file. ProgramRun as root, the
// programs ignore permission bits; so they run as an unprivileged user, as the
// web server runs them on the box.
TEST_F(FaultsTest, SiteDirectoryNotWritable) {
  std::vector<std::string> wrapper;
  if (geteuid() == 0)
    wrapper = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
  std::vector<std::string> signon_shows = WholeSitePage();
  signon_shows.push_back("<input type=\"hidden\" name=\"sid\" value=*ERROR>\n");
  const ProgramRun runs[] = {
      {"sign-on", Prog::kServerPost, kSignOnBody, false, signon_shows},
      {"sign-off",
       Prog::kServerGet,
       "SP=Haus&sitename=signoff&sid=528616600",
       false,
       {"Abmeldung durchgef\xFChrt\n"}},
      Runs()[1],  // the page of a due site: the compile writes nothing
      Runs()[9],  // the compiler itself
      {"SETAUTH", Prog::kInterface, "SETAUTH&neu", false, {"RESULT->ERROR\n"}},
  };
  for (const ProgramRun& run : runs) {
    SCOPED_TRACE(run.label);
    WriteSite(run.site_due);
    TrialRuntime runtime(Project());
    ASSERT_TRUE(runtime.Start(RuntimeDir() + "CTLKRN.CFG"));
    for (const std::string& dir : {SiteDir(), RuntimeDir()}) ASSERT_EQ(0, chmod(dir.c_str(), 0555));
    // Proof that the way works here: the files can be read, not created.
    std::vector<std::string> probe = wrapper;
    probe.insert(probe.end(), {"/usr/bin/touch", SiteDir() + "probe"});
    const ProcResult touch = RunProgram(probe[0], {probe.begin() + 1, probe.end()}, {});
    probe = wrapper;
    probe.insert(probe.end(), {"/bin/cat", SiteDir() + "Haus_Viele.SHT"});
    const ProcResult can_read = RunProgram(probe[0], {probe.begin() + 1, probe.end()}, {});
    if (touch.status == 0 || can_read.out != ManyRowsPage()) {
      for (const std::string& dir : {SiteDir(), RuntimeDir()}) chmod(dir.c_str(), 0755);
      GTEST_SKIP() << "cannot run the programs without write access here: " << can_read.err;
    }
    const Snapshot before = TakeSnapshot();
    const ProcResult r = Execute(run, wrapper);
    for (const std::string& dir : {SiteDir(), RuntimeDir()}) ASSERT_EQ(0, chmod(dir.c_str(), 0755));
    ExpectSound(run, r, before);
    EXPECT_EQ(before, TakeSnapshot());
  }
}

}  // namespace

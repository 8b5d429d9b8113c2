// interface_test.cc: the real TelvarinInterface binary as a CGI program against
// the trial runtime (which logs every call): each command word with its exact
// call and page, the access code (fixed, daily, set by SETAUTH), the work-file
// pages, the stop and restart pages with a stand-in "killall", and a runtime
// that is down, answers faults or answers the wrong types.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"
#include "interface/scripthash.h"

namespace {

using testsupport::CgiGet;
using testsupport::InterfaceBinary;
using testsupport::ListDir;
using testsupport::MakeTempDir;
using testsupport::ProcResult;
using testsupport::ReadFile;
using testsupport::ResetFixedDirs;
using testsupport::RunProgram;
using testsupport::RuntimeDir;
using testsupport::TrialRuntime;
using testsupport::WriteFile;
using Calls = std::vector<std::string>;

const char kProject[] =
    "VAR 12 TEMP N 21,5\n"
    "VAR 7 FARBE S Gr\xFCn\n"
    "VAR 5 LICHT U Aus\n"
    "MACRO 15 ALLESAUS\n";

const char kFrameRules[] = "; form-action 'none'; base-uri 'none'; frame-ancestors 'none'";
const std::string kNoScript =
    std::string("Content-Security-Policy: default-src 'none'") + kFrameRules + "\n";

std::string DataPage(const std::string& result) {
  return "Content-type: text/html\n" + kNoScript + "\n"
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n"
         "<html><head><title>Telvarin-Interface</title></head><body>\n"
         "RESULT->" + result + "\n</body></html>\n";
}

std::string ErrorPage(const std::string& reason) {
  return "Content-type: text/html\n" + kNoScript + "\n\n"
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n"
         "<html><head><title>Telvarin-Interface</title></head><body>\n"
         "ERROR " + reason + "\n</body></html>\n";
}

// The policy allows the page's one script by the hash of its element's text
// (the hash itself is checked against known digests in scripthash_test.cc).
std::string ActionPage(const std::string& message, const std::string& script) {
  const std::string element = "\nwindow.onload = function () {\n" + script + "\n";
  return "Content-type: text/html\n"
         "Content-Security-Policy: default-src 'none'; script-src " +
         ScriptHashSource(element) + " 'unsafe-eval'" + kFrameRules + "\n\n"
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n"
         "<html>\n"
         "<head><title>Datei-Aktion</title></head><body>\n" +
         message + "\n<script type='text/javascript'>" + element + "</script>\n</body></html>\n";
}

std::string ResetPage(const std::string& message) {
  return ActionPage(message, "setTimeout(\"window.location.href='config.cgi'\", 2500);}");
}

std::string WorkFilePage(const std::string& message, const std::string& dir) {
  return ActionPage(message, "setTimeout(\"window.location.href='servmain.ccc?HTM=Workfiles.cls&path=" +
                                 dir + "'\",0);}");
}

std::string AuthPath() { return RuntimeDir() + "TELVARINSAUTH.DAT"; }

// The daily code as the access file's mode "B" defines it, for the local day of t.
std::string DailyCodeAt(std::time_t t, int base) {
  std::tm local{};
  localtime_r(&t, &local);
  return std::to_string((local.tm_mday + local.tm_mon + base + 1) * 3);
}

class InterfaceProgram : public ::testing::Test {
 protected:
  void SetUp() override { ResetFixedDirs(); }

  void StartRuntime(const std::vector<std::string>& options = {}) {
    runtime_.reset(new TrialRuntime(kProject, options));
    ASSERT_TRUE(runtime_->Start(RuntimeDir() + "CTLKRN.CFG"));
  }

  // One request; every run must end with status 0 and nothing on standard error.
  std::string Get(const std::string& query, const std::map<std::string, std::string>& env = {},
                  const std::string& addr = "127.0.0.1") {
    if (runtime_) runtime_->ClearCalls();
    const ProcResult r = CgiGet(InterfaceBinary(), query, addr, env);
    EXPECT_EQ(0, r.status) << query;
    EXPECT_EQ("", r.err) << query;
    return r.out;
  }

  std::unique_ptr<TrialRuntime> runtime_;
};

struct CommandCase {
  const char* query;
  Calls calls;      // what the runtime received
  std::string page;
};

TEST_F(InterfaceProgram, EachCommandMakesItsCallAndWritesItsPage) {
  StartRuntime();
  const CommandCase cases[] = {
      {"CREATEVARLIST&", {"createvarlist\t"}, DataPage("TEMP;FARBE;LICHT")},
      {"CREATEVARLIST&FA", {"createvarlist\tFA"}, DataPage("FARBE")},
      {"CREATEVARLIST&NOPE", {"createvarlist\tNOPE"}, DataPage("")},  // count 0
      {"GETVARBYNAME1&Temp", {"getvarbyname\t1\tTemp"}, DataPage("TEMP=21,5")},
      {"GETVARBYNAME2&Temp", {"getvarbyname\t2\tTemp"}, DataPage("21,5")},
      {"GETVARBYNAME3&farbe", {"getvarbyname\t3\tfarbe"},
       DataPage("7;FARBE;S;&quot;Gr\xFCn&quot;")},
      {"GETVARBYNAME1&NOPE", {"getvarbyname\t1\tNOPE"}, DataPage("")},  // a fault
      // The argument goes to the runtime undecoded.
      {"GETVARBYNAME2&Gr%FCn%20x", {"getvarbyname\t2\tGr%FCn%20x"}, DataPage("")},
      {"SETVARBYNAME&TEMP=23", {"setvarbyname\tTEMP=23"}, DataPage("OK")},
      {"SETVARBYNAME&NOPE=1", {"setvarbyname\tNOPE=1"}, DataPage("ERROR 0")},
      {"STARTMACRO&15", {"startmacroidx\t15"}, DataPage("OK")},  // 0 is success here
      {"STARTMACRO&99", {"startmacroidx\t99"}, DataPage("ERROR")},
      {"VERSION", {}, DataPage("1.1 - 101130")},
      {"VERSION&x&y", {}, DataPage("1.1 - 101130")},
      {"version", {}, ErrorPage("INVALID CALL:version")},
      {"", {}, ErrorPage("INVALID CALL:")},
      {"ENDAKX&1", {}, ErrorPage("INVALID CALL:ENDAKX")},
      {"GETVARBYNAME4&Temp", {}, ErrorPage("INVALID CALL:GETVARBYNAME4")},
      // A value or command word with markup is shown as text, never as a form.
      {"SETVARBYNAME&FARBE=<form action=//x.example><button>'x'</button>",
       {"setvarbyname\tFARBE=<form action=//x.example><button>'x'</button>"}, DataPage("OK")},
      {"GETVARBYNAME1&FARBE", {"getvarbyname\t1\tFARBE"},
       DataPage("FARBE=&quot;&lt;form action=//x.example&gt;&lt;button&gt;&#39;x&#39;"
                "&lt;/button&gt;&quot;")},
      {"<base href=//x.example>", {}, ErrorPage("INVALID CALL:&lt;base href=//x.example&gt;")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.page, Get(c.query)) << c.query;
    EXPECT_EQ(c.calls, runtime_->Calls()) << c.query;
  }
  EXPECT_EQ(DataPage("23"), Get("GETVARBYNAME2&TEMP"));  // the set above was stored
}

// Another name than the box's (rebinding) reaches no command and makes no
// runtime call; the box's names and no Host are served.
TEST_F(InterfaceProgram, OnlyTheBoxsOwnHostNamesReachACommand) {
  StartRuntime();
  const struct {
    const char* host;
    bool served;
  } cases[] = {{"", true}, {"127.0.0.1:8080", true}, {"[::1]", true}, {"localhost", true},
               {"evil.example", false}, {"evil.example:80", false}};
  for (const auto& c : cases) {
    const std::string page = Get("SETVARBYNAME&TEMP=23", {{"HTTP_HOST", c.host}});
    EXPECT_EQ(c.served, page == DataPage("OK")) << c.host;
    const Calls want = c.served ? Calls{"setvarbyname\tTEMP=23"} : Calls{};
    EXPECT_EQ(want, runtime_->Calls()) << c.host;
    if (!c.served) {
      EXPECT_NE(std::string::npos, page.find("Fehler - unbekannter Servername: evil.example\n"));
    }
  }
}

TEST_F(InterfaceProgram, FailedCallsGiveTheirFallbacks) {
  const CommandCase cases[] = {
      {"CREATEVARLIST&", {}, DataPage("")},
      {"GETVARBYNAME1&Temp", {}, DataPage("")},
      {"GETVARBYNAME2&Temp", {}, DataPage("")},
      {"GETVARBYNAME3&Temp", {}, DataPage("")},
      {"SETVARBYNAME&TEMP=23", {}, DataPage("ERROR -1")},
      {"STARTMACRO&15", {}, DataPage("ERROR")},
      {"WORKFILES&del&/web/x.txt", {}, WorkFilePage("Datei-Aktion fehlgeschlagen", "/web")},
  };
  const std::vector<std::vector<std::string>> runtimes = {{"--fault", "all"}, {"--wrong-types"}, {}};
  for (const auto& options : runtimes) {
    StartRuntime(options);
    if (options.empty()) runtime_->Stop();  // the runtime down
    const bool wrong_types = !options.empty() && options[0] == "--wrong-types";
    for (const auto& c : cases) {
      // The "workfile" answer is never read, so its type cannot fail the call.
      if (wrong_types && std::string(c.query).rfind("WORKFILES", 0) == 0) continue;
      EXPECT_EQ(c.page, Get(c.query)) << c.query << (options.empty() ? " (down)" : " " + options[0]);
    }
  }
}

TEST_F(InterfaceProgram, MissingQueryString) {
  const auto run = [] {
    const ProcResult r = RunProgram(InterfaceBinary(), {}, {{"REQUEST_METHOD", "GET"}});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    return r.out;
  };
  EXPECT_EQ(ErrorPage(" INVALID PARAMETERS"), run());  // two blanks after "ERROR"
  WriteFile(AuthPath(), "Xgeheim\n");
  EXPECT_EQ(ErrorPage("AUTH FAILED"), run());
}

TEST_F(InterfaceProgram, FixedAccessCodeIsField3Exactly) {
  StartRuntime();
  WriteFile(AuthPath(), "Xgeheim\n");
  int n = 0;  // each from a network of its own: four failures lock one out
  for (const char* query : {"GETVARBYNAME1&Temp", "GETVARBYNAME1&Temp&", "GETVARBYNAME1&Temp&Geheim",
                            "GETVARBYNAME1&Temp&geheim2", "GETVARBYNAME1&Temp&gehe%69m", "geheim"}) {
    EXPECT_EQ(ErrorPage("AUTH FAILED"), Get(query, {}, "10.0.0." + std::to_string(++n))) << query;
    EXPECT_EQ(Calls{}, runtime_->Calls()) << query;  // refused before any call
  }
  EXPECT_EQ(DataPage("TEMP=21,5"), Get("GETVARBYNAME1&Temp&geheim"));
  EXPECT_EQ(DataPage("1.1 - 101130"), Get("VERSION&&geheim"));
  WriteFile(AuthPath(), "B\n");  // a mode letter alone sets no code, in mode "B" too
  EXPECT_EQ(DataPage("1.1 - 101130"), Get("VERSION"));
}

// Failed codes are counted per client network: the fifth request of a network
// with four failures is refused without its code being compared.
TEST_F(InterfaceProgram, FourFailuresLockANetworkOut) {
  WriteFile(AuthPath(), "Xgeheim\n");
  struct Case {
    const char* addr;
    const char* code;
    bool admitted;
  };
  const Case cases[] = {
      {"10.0.0.1", "a", false},          {"10.0.0.1", "b", false},
      {"10.0.0.1", "c", false},          {"10.0.0.1", "geheim", true},  // clears the count
      {"10.0.0.1", "d", false},          {"::ffff:10.0.0.1", "e", false},  // the same network
      {"10.0.0.1", "f", false},          {"10.0.0.1", "g", false},         // the fourth
      {"10.0.0.1", "geheim", false},     {"10.0.0.2", "geheim", true},     // another network
      {"2001:db8:0:1::1", "a", false},   {"2001:db8:0:1::2", "b", false},
      {"2001:db8:0:1::3", "c", false},   {"2001:db8:0:1::4", "d", false},
      {"2001:db8:0:1::99", "geheim", false},  // the same /64
      {"2001:db8:0:2::1", "geheim", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.admitted ? DataPage("1.1 - 101130") : ErrorPage("AUTH FAILED"),
              Get(std::string("VERSION&&") + c.code, {}, c.addr))
        << c.addr << " " << c.code;
  // The refused requests were not counted: the lock runs from the fourth failure.
  const std::string record = ReadFile(testsupport::SiteDir() + "INTERFACEFAILS.DAT");
  EXPECT_NE(std::string::npos, record.find("10.0.0.1;4;")) << record;
  EXPECT_NE(std::string::npos, record.find("2001:db8:0:1::/64;4;")) << record;
  struct stat st;
  ASSERT_EQ(0, stat((testsupport::SiteDir() + "INTERFACEFAILS.DAT").c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
}

TEST_F(InterfaceProgram, DailyCodeFromLocalTime) {
  WriteFile(AuthPath(), "B4711\n");
  std::map<std::string, std::string> env;
  if (const char* tz = std::getenv("TZ")) env["TZ"] = tz;  // the test's local time
  const std::time_t before = std::time(nullptr);
  const std::string code = DailyCodeAt(before, 4711);
  const std::string first = Get("VERSION&&" + code, env);
  const std::string second = Get("VERSION&&" + code, env);
  const std::string tomorrow = Get("VERSION&&" + DailyCodeAt(before + 86400, 4711), env);
  const std::string base = Get("VERSION&&4711", env);
  if (DailyCodeAt(std::time(nullptr), 4711) != code) GTEST_SKIP() << "local midnight passed";
  EXPECT_EQ(DataPage("1.1 - 101130"), first);
  EXPECT_EQ(DataPage("1.1 - 101130"), second);  // the same code all day
  EXPECT_EQ(ErrorPage("AUTH FAILED"), tomorrow);
  EXPECT_EQ(ErrorPage("AUTH FAILED"), base);
}

TEST_F(InterfaceProgram, SetAuthChangesTheCodeFromTheNextRequest) {
  EXPECT_EQ(DataPage("OK"), Get("SETAUTH&Xneu"));
  EXPECT_EQ("Xneu\n", ReadFile(AuthPath()));
  EXPECT_EQ(ErrorPage("AUTH FAILED"), Get("VERSION"));
  EXPECT_EQ(ErrorPage("AUTH FAILED"), Get("SETAUTH&&alt"));  // must present the current code
  EXPECT_EQ("Xneu\n", ReadFile(AuthPath()));
  EXPECT_EQ(DataPage("1.1 - 101130"), Get("VERSION&&neu"));
  EXPECT_EQ(DataPage("OK"), Get("SETAUTH&&neu"));  // an empty line switches the check off
  EXPECT_EQ("\n", ReadFile(AuthPath()));
  EXPECT_EQ(DataPage("1.1 - 101130"), Get("VERSION"));
  // Written in place, only the owner may read it, and nothing else is left behind.
  struct stat st;
  ASSERT_EQ(0, stat(AuthPath().c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  EXPECT_EQ((std::vector<std::string>{"TELVARINSAUTH.DAT"}), ListDir(RuntimeDir()));
}

TEST_F(InterfaceProgram, SetAuthTakesOnlyCodesThatCanBeReadBack) {
  // An access file that exists keeps its inode (written in place): the
  // runtime's folder need not be writable by the web server's user.
  WriteFile(AuthPath(), "Xalt-und-lang\n");
  struct stat before;
  ASSERT_EQ(0, stat(AuthPath().c_str(), &before));
  const std::string longest = "X" + std::string(253, 'k');  // 254 bytes and LF: one read
  struct Case {
    std::string text;
    std::string page;
    std::string file;  // afterwards
  };
  const Case cases[] = {
      {longest + "k", DataPage("ERROR"), "Xalt-und-lang\n"},
      {"Xa\nb", DataPage("ERROR"), "Xalt-und-lang\n"},
      // One character reads back as no code: it would open the interface.
      {"X", DataPage("ERROR"), "Xalt-und-lang\n"},
      {"B", DataPage("ERROR"), "Xalt-und-lang\n"},
      {"7", DataPage("ERROR"), "Xalt-und-lang\n"},
      {"Xkurz", DataPage("OK"), "Xkurz\n"},  // shorter: the old rest is cut
      {longest, DataPage("OK"), longest + "\n"},
  };
  std::string code = "alt-und-lang";
  for (const auto& c : cases) {
    EXPECT_EQ(c.page, Get("SETAUTH&" + c.text + "&" + code)) << c.text.size();
    EXPECT_EQ(c.file, ReadFile(AuthPath())) << c.text.size();
    if (c.page == DataPage("OK")) code = c.text.substr(1);
  }
  EXPECT_EQ(DataPage("1.1 - 101130"), Get("VERSION&&" + longest.substr(1)));
  struct stat after;
  ASSERT_EQ(0, stat(AuthPath().c_str(), &after));
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(InterfaceProgram, SetAuthThatCannotWriteKeepsTheOldFile) {
  // A non-empty directory where the access file would be: reading it gives no
  // code, and it cannot be replaced.
  ASSERT_EQ(0, mkdir(AuthPath().c_str(), 0755));
  WriteFile(AuthPath() + "/keep", "x");
  EXPECT_EQ(DataPage("ERROR"), Get("SETAUTH&Xneu"));
  EXPECT_EQ("x", ReadFile(AuthPath() + "/keep"));
  EXPECT_EQ((std::vector<std::string>{"TELVARINSAUTH.DAT"}), ListDir(RuntimeDir()));
}

TEST_F(InterfaceProgram, WorkFilesDecodeBlanksAndFindTheDirectory) {
  StartRuntime();
  const CommandCase cases[] = {
      {"WORKFILES&ren&/web/a%20b.txt&c%20d.txt", {"workfile\tren\t/web/a b.txt\tc d.txt"},
       WorkFilePage("Datei umbenannt", "/web")},
      {"WORKFILES&del&/web/x.txt", {"workfile\tdel\t/web/x.txt"},
       WorkFilePage("Datei gel\xF6scht", "/web")},
      {"WORKFILES&del&/home/pi/web/file.txt&extra", {"workfile\tdel\t/home/pi/web/file.txt"},
       WorkFilePage("Datei gel\xF6scht", "/home/pi/web")},
      {"WORKFILES&del&file.txt", {"workfile\tdel\tfile.txt"}, WorkFilePage("Datei gel\xF6scht", "")},
      {"WORKFILES&ren&/a/b/&c", {"workfile\tren\t/a/b/\tc"}, WorkFilePage("Datei umbenannt", "/a")},
      // Only "%20" is decoded, and the page's directory not at all.
      {"WORKFILES&ren&/my%20dir/x%2By.txt&%FC", {"workfile\tren\t/my dir/x%2By.txt\t%FC"},
       WorkFilePage("Datei umbenannt", "/my%20dir")},
      // The directory cannot end the script's strings or the script.
      {"WORKFILES&del&/a'+alert(1)+'\"</script>/x", {"workfile\tdel\t/a'+alert(1)+'\"</script>/x"},
       WorkFilePage("Datei gel\xF6scht",
                    "/a\\\\x27+alert\\\\x281\\\\x29+\\\\x27\\\\x22\\\\x3C/script\\\\x3E")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.page, Get(c.query)) << c.query;
    EXPECT_EQ(c.calls, runtime_->Calls()) << c.query;
  }
}

TEST_F(InterfaceProgram, EndAkStopsTheRuntime) {
  StartRuntime();
  EXPECT_EQ(ResetPage("Ablaufkern beendet"), Get("ENDAK"));
  EXPECT_EQ(Calls{"comablaufkern\t110"}, runtime_->Calls());
  runtime_->Stop();
  EXPECT_EQ(ResetPage("Ablaufkern beendet"), Get("ENDAK&x"));  // down: the same page
}

// A stand-in "killall" first on the path: it records its arguments and the
// time it ran, and prints on both streams, which must not reach the response.
class ResetAk : public InterfaceProgram {
 protected:
  void SetUp() override {
    InterfaceProgram::SetUp();
    dir_ = MakeTempDir();
    const std::string script = dir_ + "/killall";
    WriteFile(script,
              "#!/bin/sh\n"
              "echo \"$@\" >> '" + dir_ + "/args'\n"
              "date +%s%N > '" + dir_ + "/when'\n"
              "echo killed\n"
              "echo complaint >&2\n");
    ASSERT_EQ(0, chmod(script.c_str(), 0755));
    env_["PATH"] = dir_ + ":" + std::getenv("PATH");
  }

  // Runs RESETAK and checks the wait, the kill and the page.
  void ExpectReset() {
    using namespace std::chrono;
    const long long start_ns =
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    const auto start = steady_clock::now();
    EXPECT_EQ(ResetPage("Neustart durchgef\xFChrt"), Get("RESETAK", env_));
    EXPECT_GE(duration<double>(steady_clock::now() - start).count(), 5.0);
    EXPECT_EQ("Ablaufkern\n", ReadFile(dir_ + "/args"));
    // The kill comes after the 5 s wait.
    const long long killed_ns = std::atoll(ReadFile(dir_ + "/when").c_str());
    EXPECT_GE(killed_ns - start_ns, 4900000000LL);
  }

  std::string dir_;
  std::map<std::string, std::string> env_;
};

TEST_F(ResetAk, StopsWaitsKillsAndWritesThePage) {
  StartRuntime();
  ExpectReset();
  EXPECT_EQ(Calls{"comablaufkern\t110"}, runtime_->Calls());
}

TEST_F(ResetAk, RuntimeDownStillWaitsAndKills) {
  StartRuntime();
  runtime_->Stop();
  ExpectReset();
}

}  // namespace

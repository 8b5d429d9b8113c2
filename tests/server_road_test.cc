// server_road_test.cc: the request road of the real TelvarinServer run as a CGI
// program on the test build's site directory: sign-on and its failure budgets
// (networks, user names, bursts, the record, the wait slots), sessions, free
// addresses, sign-off, the attempt counter, the compiler start, the checks on
// request values and the request body.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/boxfiles.h"
#include "common/compilerecord.h"
#include "harness.h"

namespace {

using testsupport::CgiGet;
using testsupport::CgiPost;
using testsupport::ProcResult;
using testsupport::ServerBinary;
using testsupport::SiteDir;

const char kHeader[] = "Content-type: text/html\n\n";
const char kLoginTitle[] = "<title>Telvarin-Server Anmeldung</title>";
const char kSignoffText[] = "Abmeldung durchgef\xFChrt";
const char kBadSignon[] = "Fehler - Ung\xFCltige Anmeldung";
// How long a request that does not wait in a time lock may take.
constexpr double kAnswerSeconds = 2;
const char kBadParameters[] = "Fehler - ung\xFCltige Parameter beim Seitenaufruf";

// A page with a form, so that its hidden fields show the road's values.
std::string PageFile(const std::string& title) {
  return "#1000=" + title + "\n#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=" + title + "\n";
}

std::string LoginForm(const std::string& site, int counter, const std::string& user,
                      const std::string& password) {
  return "SP=" + site + "&sitename=*&sid=xxx&signoncounter=" + std::to_string(counter) +
         "&User=" + user + "&Passw=" + password + "&Signon=Anmelden";
}

// The value of a hidden field of a site page ("name=\"sid\" value=42>").
std::string Hidden(const std::string& page, const std::string& name) {
  const std::string key = "name=\"" + name + "\" value=";
  size_t at = page.find(key);
  if (at == std::string::npos) return "<none>";
  at += key.size();
  return page.substr(at, page.find('>', at) - at);
}

// The value of the login page's quoted hidden field.
std::string LoginHidden(const std::string& page, const std::string& name) {
  const std::string key = "name=\"" + name + "\" value=\"";
  size_t at = page.find(key);
  if (at == std::string::npos) return "<none>";
  at += key.size();
  return page.substr(at, page.find('"', at) - at);
}

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

std::vector<std::string> SessionFiles() {
  std::vector<std::string> out;
  for (const auto& name : testsupport::ListDir(SiteDir()))
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".SID") == 0) out.push_back(name);
  return out;
}

// The files of the site directory that the runs created (all but the site's
// own files), each with its mode.
std::map<std::string, unsigned> CreatedFiles() {
  std::map<std::string, unsigned> out;
  for (const auto& name : testsupport::ListDir(SiteDir())) {
    const std::string suffix = name.substr(name.size() < 4 ? 0 : name.size() - 4);
    if (suffix == ".TVS" || suffix == ".SHT" || suffix == ".USR") continue;
    struct stat st {};
    if (lstat((SiteDir() + name).c_str(), &st) == 0) out[name] = st.st_mode & 07777;
  }
  return out;
}

class ServerRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetFixedDirs();
    Write("HAUS.TVS", "AUTHMSG=Unser Haus\n");
    Write("HAUS_WEBUSERS.USR",
          "anna;geheim;Wohnen\n"
          "bert;pw;Kueche  \n"
          "carl;pw;../../etc/passwd\n"
          "dora;pw;*Nobody\n");
    Write("HAUS_Wohnen.SHT", PageFile("Wohnen"));
    Write("HAUS_Kueche.SHT", PageFile("Kueche"));
    Write("GARTEN.TVS", "\n");
    Write("GARTEN_Wohnen.SHT", PageFile("GartenWohnen"));
  }
  static void Write(const std::string& name, const std::string& text) {
    testsupport::WriteFile(SiteDir() + name, text);
  }
  // Every run: exit status 0, nothing on standard error, one page.
  static std::string Checked(const ProcResult& r) {
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0u, r.out.find(kHeader)) << r.out.substr(0, 200);
    return r.out;
  }
  static std::string Get(const std::string& query, const std::string& addr = "127.0.0.1") {
    return Checked(CgiGet(ServerBinary(), query, addr));
  }
  static std::string Post(const std::string& body, const std::string& addr = "127.0.0.1") {
    return Checked(CgiPost(ServerBinary(), body, addr));
  }
  // Takes every wait slot, so that no request of the test waits in a time lock.
  static std::vector<int> HoldAllWaitSlots() {
    std::vector<int> slots;
    for (int i = 1; i <= 4; ++i) {
      const int fd = open((SiteDir() + "LOGINWAIT" + std::to_string(i) + ".LCK").c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      EXPECT_EQ(0, flock(fd, LOCK_EX | LOCK_NB));
      slots.push_back(fd);
    }
    return slots;
  }
  // Writes the failure record: one "key;count;time" line per entry.
  static void WriteFailures(const std::string& lines) { Write("SIGNONFAILS.DAT", lines); }
  static std::string Failures() { return testsupport::ReadFile(SiteDir() + "SIGNONFAILS.DAT"); }
  // The passwords checked and found wrong: the failures counted for networks.
  static int CheckedFailures() {
    int sum = 0;
    std::string text = Failures();
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find('\n', at);
      const std::string line = text.substr(at, end - at);
      if (line.compare(0, 2, "u:") != 0) sum += std::atoi(line.c_str() + line.find(';') + 1);
      at = end == std::string::npos ? text.size() : end + 1;
    }
    return sum;
  }
  // Signs anna on and returns the session id shown on her start page.
  static std::string SignOn(const std::string& addr = "127.0.0.1") {
    const std::string page = Post(LoginForm("HAUS", 1, "anna", "geheim"), addr);
    EXPECT_TRUE(Has(page, "<title>Wohnen</title>")) << page;
    return Hidden(page, "sid");
  }
};

TEST_F(ServerRoad, FirstVisitShowsTheLoginPageOfTheDefaultSite) {
  for (const char* query : {"", "\\"}) {
    const std::string page = Get(query);
    EXPECT_TRUE(Has(page, kLoginTitle)) << query;
    EXPECT_EQ("TELVARINSERVER", LoginHidden(page, "SP")) << query;
    EXPECT_EQ("1", LoginHidden(page, "signoncounter")) << query;
  }
  const std::string page = Get("SP=HAUS");
  EXPECT_EQ("HAUS", LoginHidden(page, "SP"));
  EXPECT_TRUE(Has(page, "<b>Unser Haus</b>"));  // the site's settings were read
  EXPECT_EQ("HAUS", LoginHidden(Get("HAUS&sitename=x"), "SP"));  // a bare first field
  EXPECT_TRUE(SessionFiles().empty());
}

TEST_F(ServerRoad, FailedSignOnCountsTheAttempt) {
  struct Case {
    std::string addr;
    std::string body;
    std::string counter;  // the login page's next attempt
  };
  // The attempt is the larger of the posted counter and the box's count, plus one.
  const Case cases[] = {
      {"10.0.0.1", LoginForm("HAUS", 1, "anna", "falsch"), "2"},
      {"10.0.0.2", LoginForm("HAUS", 2, "niemand", "geheim"), "3"},
      {"10.0.0.3", LoginForm("HAUS", 1, "dora", "pw"), "2"},  // a start page beginning "*No"
      {"10.0.0.3", LoginForm("HAUS", 0, "dora", "pw"), "3"},  // a reset counter counts on
      {"10.0.0.3", "SP=HAUS", "3"},                           // so does a first visit
      {"10.0.0.30", "SP=HAUS", "1"},
      {"10.0.0.4", LoginForm("GARTEN", 0, "anna", "geheim"), "2"},  // no user file
      // anna's second failure on HAUS: her name counts too.
      {"10.0.0.5", "SP=HAUS&sitename=*&sid=xxx&signoncounter=abc&User=anna&Passw=x", "3"},
  };
  for (const auto& c : cases) {
    const std::string page = Post(c.body, c.addr);
    EXPECT_TRUE(Has(page, kLoginTitle)) << c.body;
    EXPECT_EQ(c.counter, LoginHidden(page, "signoncounter")) << c.addr << " " << c.body;
  }
  EXPECT_TRUE(SessionFiles().empty());
  // A successful sign-on forgets its address's failures.
  SignOn("10.0.0.3");
  EXPECT_EQ("1", LoginHidden(Get("SP=HAUS", "10.0.0.3"), "signoncounter"));
  // The attempts file, its lock and the session are the web server's user's alone.
  const auto created = CreatedFiles();
  EXPECT_EQ(3u, created.size());
  EXPECT_EQ(1u, created.count("SIGNONFAILS.DAT"));
  EXPECT_EQ(1u, created.count("SIGNONFAILS.LCK"));
  for (const auto& file : created) EXPECT_EQ(0600u, file.second) << file.first;
}

TEST_F(ServerRoad, PasswordsAreNotCheckedInsideTheTimeLock) {
  std::vector<int> slots = HoldAllWaitSlots();
  // 50 sign-ons in a row from one address, as a script sends them (the counter
  // stays 1); every tenth has the right password.
  for (int i = 1; i <= 50; ++i) {
    const std::string page =
        Post(LoginForm("HAUS", 1, "anna", i % 10 == 0 ? "geheim" : "falsch"), "10.0.0.7");
    const std::string attempt = std::to_string(std::min(i + 1, 4));
    EXPECT_EQ(attempt, LoginHidden(page, "signoncounter")) << i;
    EXPECT_EQ(i >= 3, Has(page, "Zeitsperre\n")) << i;
    EXPECT_TRUE(Has(page, "</html>")) << i;  // without a slot: at once, whole
  }
  EXPECT_TRUE(SessionFiles().empty());
  EXPECT_EQ(0u, Failures().find("10.0.0.7;3;")) << Failures();  // only three were checked
  // Without a free wait slot a password is still checked, and the failure
  // that starts a lock gets its page at once.
  for (int counter : {1, 2, 3}) {
    const std::string page = Post(LoginForm("HAUS", counter, "bert", "falsch"), "10.0.0.8");
    EXPECT_EQ(std::to_string(counter + 1), LoginHidden(page, "signoncounter"));
    EXPECT_TRUE(Has(page, "</html>"));
  }
  EXPECT_TRUE(Has(Failures(), "\n10.0.0.8;3;")) << Failures();
  for (int fd : slots) close(fd);
}

// Guessing from many addresses: every network and every user name gets the
// same three failures without a wait, then its lock; the passwords checked
// never pass that budget, and the right one is then not checked either.
TEST_F(ServerRoad, RotatingAddressesShareTheBudget) {
  std::vector<int> slots = HoldAllWaitSlots();
  struct Case {
    const char* name;
    std::string (*addr)(int i);  // the address of round i (0..59)
    bool same_user;              // anna every time, else a name per round
    std::string last_addr;       // where the right password is tried at the end
  };
  const Case cases[] = {
      {"60 IPv4 addresses, one user", [](int i) { return "10.1.0." + std::to_string(i + 1); },
       true, "10.1.1.1"},
      {"60 addresses of one IPv6 /64",
       [](int i) { return "2001:db8:0:1:" + std::to_string(i + 1) + "::9"; }, false,
       "2001:db8:0:1::1"},
      {"a mapped address with its plain one",
       [](int i) { return std::string(i % 2 ? "::ffff:" : "") + "198.51.100.7"; }, false,
       "198.51.100.7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((SiteDir() + "SIGNONFAILS.DAT").c_str());
    for (int i = 0; i < 60; ++i)
      for (int t = 1; t <= 3; ++t)
        Post(LoginForm("HAUS", t, c.same_user ? "anna" : "x" + std::to_string(i), "falsch"),
             c.addr(i));
    EXPECT_EQ(3, CheckedFailures()) << Failures();
    const std::string page = Post(LoginForm("HAUS", 1, "anna", "geheim"), c.last_addr);
    EXPECT_EQ("4", LoginHidden(page, "signoncounter")) << page;
  }
  EXPECT_TRUE(SessionFiles().empty());
  // Another user from another network is not held up.
  EXPECT_TRUE(Has(Post(LoginForm("HAUS", 1, "bert", "pw"), "10.9.0.1"), "<title>Kueche</title>"));
  for (int fd : slots) close(fd);
}

// Sign-ons released at the same instant are decided one after the other.
TEST_F(ServerRoad, BurstFromOneAddressChecksExactlyTheBudget) {
  std::vector<int> slots = HoldAllWaitSlots();
  std::vector<ProcResult> results(40);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i)
    threads.emplace_back([&results, i] {
      results[i] = CgiPost(ServerBinary(), LoginForm("HAUS", 1, "anna", "falsch"), "10.2.0.1");
    });
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_TRUE(Has(Checked(r), "</html>"));
  EXPECT_EQ(3, CheckedFailures()) << Failures();
  EXPECT_TRUE(Has(Failures(), "u:HAUS:anna;3;")) << Failures();
  for (int fd : slots) close(fd);
}

// What the record holds is never lost: an entry dated ahead of the clock, and
// an entry inside its lock when a flood of one-off failures fills the record.
TEST_F(ServerRoad, RecordKeepsFutureAndLockedEntries) {
  std::vector<int> slots = HoldAllWaitSlots();
  const long now = static_cast<long>(time(nullptr));
  // The locked entry is the oldest: eviction by age alone would take it first.
  std::string full = "10.3.0.9;9;" + std::to_string(now - 100) + "\n";
  for (int i = 0; i < 999; ++i)
    full += "10.4." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ";1;" +
            std::to_string(now - 60) + "\n";
  struct Case {
    const char* name;
    std::string record;
    int one_offs;       // failures from new addresses and names before the try
    std::string addr;   // then the right password from here
    std::string shown;  // the attempt shown ("" for the error page)
    std::string kept;   // in the record afterwards
  };
  const Case cases[] = {
      {"an entry ahead of the clock", "10.3.0.1;5;" + std::to_string(now + 3600) + "\n", 0,
       "10.3.0.1", "6", "10.3.0.1;5;"},
      {"a full record and one-off failures", full, 100, "10.3.0.9", "", "10.3.0.9;9;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFailures(c.record);
    for (int i = 0; i < c.one_offs; ++i)
      Post(LoginForm("HAUS", 1, "y" + std::to_string(i), "falsch"),
           "10.5." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    const std::string page = Post(LoginForm("HAUS", 1, "anna", "geheim"), c.addr);
    if (c.shown.empty())
      EXPECT_TRUE(Has(page, kBadSignon)) << page;
    else
      EXPECT_EQ(c.shown, LoginHidden(page, "signoncounter"));
    const std::string record = Failures();
    EXPECT_TRUE(Has(record, c.kept)) << record.substr(0, 300);
    EXPECT_LE(std::count(record.begin(), record.end(), '\n'), 1000);
  }
  EXPECT_TRUE(SessionFiles().empty());
  struct stat st;
  ASSERT_EQ(0, stat((SiteDir() + "SIGNONFAILS.DAT").c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);  // also over the file the test wrote readable
  for (int fd : slots) close(fd);
}

TEST_F(ServerRoad, AtMostFourRequestsWaitInATimeLock) {
  // 20 requests for attempt 9 (a 512 s lock the record calls for) from 5
  // addresses at once: one slot per network and four in all; every other
  // request is answered at once.
  std::string record;
  for (int a = 1; a <= 5; ++a)
    record += "192.168.7." + std::to_string(a) + ";8;" + std::to_string(time(nullptr)) + "\n";
  WriteFailures(record);
  std::vector<ProcResult> results(20);
  std::vector<std::thread> threads;
  for (int i = 0; i < 20; ++i) {
    threads.emplace_back([&results, i] {
      results[static_cast<size_t>(i)] = testsupport::RunProgram(
          ServerBinary(), {},
          {{"REQUEST_METHOD", "GET"},
           {"QUERY_STRING", "SP=HAUS&sitename=*&sid=&signoncounter=8"},
           {"REMOTE_ADDR", "192.168.7." + std::to_string(1 + i % 5)}},
          "", kAnswerSeconds);
    });
  }
  for (auto& t : threads) t.join();
  int waiting = 0;
  std::set<std::string> waiting_addrs;
  for (size_t i = 0; i < results.size(); ++i) {
    const ProcResult& r = results[i];
    EXPECT_EQ("9", LoginHidden(r.out, "signoncounter")) << i;
    EXPECT_TRUE(Has(r.out, "Zeitsperre\n")) << i;  // also before the wait ends
    if (r.timed_out) {
      ++waiting;
      EXPECT_TRUE(waiting_addrs.insert(std::to_string(i % 5)).second) << i;
    } else {
      EXPECT_TRUE(Has(Checked(r), "</html>")) << i;
    }
  }
  EXPECT_GE(waiting, 1);
  EXPECT_LE(waiting, 4);
  // The guard and the slots that were taken: the web server's user's alone
  // (the record is the test's own file, which only reads leave as it was).
  auto created = CreatedFiles();
  created.erase("SIGNONFAILS.DAT");
  EXPECT_EQ(1u, created.count("LOGINWAIT.LCK"));
  EXPECT_EQ(1u, created.count("LOGINWAIT1.LCK"));
  for (const auto& file : created) EXPECT_EQ(0600u, file.second) << file.first;
}

// The posted counter sets the number shown, never a wait: four requests that
// post the last attempt park nothing, and the owner's third try signs on.
TEST_F(ServerRoad, PostedCounterParksNothing) {
  for (int i = 1; i <= 4; ++i) {
    const ProcResult r = testsupport::RunProgram(
        ServerBinary(), {},
        {{"REQUEST_METHOD", "GET"},
         {"QUERY_STRING", "SP=HAUS&sitename=*&sid=&signoncounter=8"},
         {"REMOTE_ADDR", "192.168.8." + std::to_string(i)}},
        "", kAnswerSeconds);
    EXPECT_FALSE(r.timed_out) << i;
    EXPECT_EQ("9", LoginHidden(r.out, "signoncounter"));
    EXPECT_TRUE(Has(r.out, "Zeitsperre\n</p>"));
  }
  Post(LoginForm("HAUS", 1, "anna", "falsch"), "192.168.8.9");
  Post(LoginForm("HAUS", 2, "anna", "falsch"), "192.168.8.9");
  EXPECT_TRUE(Has(Post(LoginForm("HAUS", 3, "anna", "geheim"), "192.168.8.9"),
                  "<title>Wohnen</title>"));
}

TEST_F(ServerRoad, SessionIdsHaveTheirOwnForm) {
  // Each id with a session file under its name, so only its form can refuse it.
  struct Case {
    const char* sid;
    bool signed_on;
  };
  const Case cases[] = {
      {"123456789012345678", true},
      {"528616600", true},  // a time count of an earlier version
      {"12345678901234567", false},
      {"1234567890123456789", false},
      {"52861660", false},
      {"52861660a", false},
      {"x528616600", false},
  };
  for (const auto& c : cases) {
    Write(std::string("HAUS") + c.sid + "127p0p0p1.SID", "x;a");
    EXPECT_EQ(c.signed_on, Has(Get(std::string("SP=HAUS&sitename=Wohnen&sid=") + c.sid),
                               "<title>Wohnen</title>"))
        << c.sid;
  }
  // Sessions of sites whose names begin with another site's name.
  Write("A.TVS", "\n");
  Write("A_Wohnen.SHT", PageFile("Wohnen"));
  Write("HAUS_GAST528616600127p0p0p1.SID", "x;a");
  Write("A5123456789127p0p0p1.SID", "x;a");
  EXPECT_TRUE(Has(Get("SP=HAUS&sitename=Wohnen&sid=_GAST528616600"), kLoginTitle));
  EXPECT_TRUE(Has(Get("SP=A&sitename=Wohnen&sid=5123456789"), kLoginTitle));
}

TEST_F(ServerRoad, NinthFailedAttemptGivesTheErrorPage) {
  for (int counter : {9, 10, 99999}) {
    const std::string page = Post(LoginForm("HAUS", counter, "bert", "falsch"));
    EXPECT_TRUE(Has(page, kBadSignon + std::string("\n"))) << counter;
    EXPECT_FALSE(Has(page, kLoginTitle));
  }
  // The right password with a counter of 9 still signs on (from an address
  // with no failures recorded): the counter only matters without a session.
  EXPECT_TRUE(
      Has(Post(LoginForm("HAUS", 9, "anna", "geheim"), "10.9.9.9"), "<title>Wohnen</title>"));
}

TEST_F(ServerRoad, EighthFailedAttemptWaitsBehindTheTimeLock) {
  // Attempt 9 waits 512 s after "Zeitsperre"; the part before is already out.
  // The address's seventh failure is older than its lock of 256 s.
  WriteFailures("127.0.0.1;7;" + std::to_string(time(nullptr) - 300) + "\n");
  const std::string body = LoginForm("HAUS", 8, "anna", "falsch");
  const ProcResult r = testsupport::RunProgram(
      ServerBinary(), {},
      {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(body.size())},
       {"REMOTE_ADDR", "127.0.0.1"}},
      body, 3);
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ("9", LoginHidden(r.out, "signoncounter"));
  EXPECT_TRUE(Has(r.out, "Zeitsperre\n"));
  EXPECT_FALSE(Has(r.out, "</html>"));
}

TEST_F(ServerRoad, SignOnOpensASessionForItsAddressAndSite) {
  const std::string id = SignOn("192.168.1.10");
  EXPECT_EQ(18u, id.size());
  EXPECT_EQ(std::vector<std::string>{"HAUS" + id + "192p168p1p10.SID"}, SessionFiles());
  const std::string content = testsupport::ReadFile(SiteDir() + SessionFiles()[0]);
  EXPECT_EQ(";anna", content.substr(content.size() - 5));

  const std::string link = "SP=HAUS&sitename=Kueche&sid=" + id;
  const std::string page = Get(link, "192.168.1.10");
  EXPECT_TRUE(Has(page, "<title>Kueche</title>"));
  EXPECT_EQ(id, Hidden(page, "sid"));
  EXPECT_EQ("Kueche", Hidden(page, "sitename"));
  // Another address, or the same id for another site: not signed on.
  EXPECT_EQ("1", LoginHidden(Get(link, "192.168.1.11"), "signoncounter"));
  const std::string other_site = Get("SP=GARTEN&sitename=Wohnen&sid=" + id, "192.168.1.10");
  EXPECT_TRUE(Has(other_site, kLoginTitle));
  EXPECT_EQ("GARTEN", LoginHidden(other_site, "SP"));
}

TEST_F(ServerRoad, StartPageIsTrimmedAndChecked) {
  EXPECT_TRUE(Has(Post(LoginForm("HAUS", 0, "bert", "pw")), "<title>Kueche</title>"));
  // A start page that is no valid name opens no file outside the site directory.
  const std::string page = Post(LoginForm("HAUS", 0, "carl", "pw"));
  EXPECT_TRUE(Has(page, "File not Found: " + SiteDir() + "HAUS_.SHT")) << page;
  EXPECT_FALSE(Has(page, "root:"));
}

TEST_F(ServerRoad, SignOffRemovesTheSession) {
  const std::string id = SignOn();
  const std::string page = Get("SP=HAUS&sitename=signoff&sid=" + id);
  EXPECT_TRUE(Has(page, kSignoffText));
  EXPECT_TRUE(SessionFiles().empty());
  EXPECT_TRUE(Has(Get("SP=HAUS&sitename=Wohnen&sid=" + id), kLoginTitle));
  // A sign-off without a valid session is just the login page.
  EXPECT_TRUE(Has(Get("SP=HAUS&sitename=signoff&sid=" + id), kLoginTitle));
}

TEST_F(ServerRoad, FreeAddressesGetASessionOnTheStartPage) {
  struct Case {
    const char* freeips;
    const char* addr;
    bool free;
  };
  const Case cases[] = {
      {"(ALL)", "8.8.8.8", true},
      {"(10.0.0.);(ALL)", "8.8.8.8", false},
      {"(192.168.1.)", "192.168.1.50", true},
      {"(192.168.1.)", "192.168.10.5", false},
      {"(192.168.1.5)", "192.168.1.50", false},
      {"(10.0.0.);(192.168.1.)", "192.168.1.5", true},
      {"(192.168.1.);;(10.0.0.)", "10.0.0.3", false},  // the empty entry ends the search
  };
  for (const auto& c : cases) {
    testsupport::ResetFixedDirs();
    Write("HAUS.TVS", std::string("FREEIPS=") + c.freeips + "\nSTARTPAGE=Wohnen \n");
    Write("HAUS_Wohnen.SHT", PageFile("Wohnen"));
    const std::string page = Get("SP=HAUS", c.addr);
    EXPECT_EQ(c.free, Has(page, "<title>Wohnen</title>")) << c.freeips << " " << c.addr;
    EXPECT_EQ(c.free ? 1u : 0u, SessionFiles().size()) << c.freeips << " " << c.addr;
    if (c.free) {
      const std::string content = testsupport::ReadFile(SiteDir() + SessionFiles()[0]);
      EXPECT_EQ(";ALL", content.substr(content.size() - 4));
    }
  }
}

// A free address keeps one session however often it comes; a request that
// another site's page made the browser send never makes one.
TEST_F(ServerRoad, FreeAddressKeepsOneSession) {
  Write("HAUS.TVS", "FREEIPS=(ALL)\nSTARTPAGE=Kueche\n");
  const std::map<std::string, std::string> cross = {{"HTTP_SEC_FETCH_SITE", "cross-site"}};
  EXPECT_TRUE(Has(Checked(CgiGet(ServerBinary(), "SP=HAUS", "10.6.0.1", cross)), kLoginTitle));
  EXPECT_TRUE(SessionFiles().empty());
  std::set<std::string> ids;
  for (int i = 0; i < 100; ++i) ids.insert(Hidden(Get("SP=HAUS", "10.6.0.1"), "sid"));
  EXPECT_EQ(1u, ids.size());
  EXPECT_EQ(1u, SessionFiles().size());
  // The session it has is its own also from another site's page.
  const std::string again = Checked(CgiGet(ServerBinary(), "SP=HAUS", "10.6.0.1", cross));
  EXPECT_EQ(*ids.begin(), Hidden(again, "sid"));
  EXPECT_EQ(1u, SessionFiles().size());
}

TEST_F(ServerRoad, FreeAddressTakesOverAFailedSignOnAndAStaleSession) {
  Write("HAUS.TVS", "FREEIPS=(ALL)\nSTARTPAGE=Kueche\n");
  EXPECT_TRUE(Has(Post(LoginForm("HAUS", 3, "anna", "falsch")), "<title>Kueche</title>"));
  // A stale id from a page of Wohnen: a new session, shown on the start page.
  const std::string page = Get("SP=HAUS&sitename=Wohnen&sid=12345");
  EXPECT_TRUE(Has(page, "<title>Kueche</title>"));
  EXPECT_NE("12345", Hidden(page, "sid"));
}

TEST_F(ServerRoad, RequestValuesNeverLeaveTheSiteDirectory) {
  testsupport::WriteFile(testsupport::RuntimeDir() + "x_Wohnen.SHT", PageFile("Draussen"));
  testsupport::WriteFile(testsupport::RuntimeDir() + "x_WEBUSERS.USR", "anna;geheim;Wohnen\n");
  // A site name that fails the check is the empty one: the login page shows the default.
  for (const char* query : {"SP=../vorlund/x", "SP=a/b&sitename=Wohnen", "SP=..", "SP=",
                            "xSP=HAUS", "SP=a%20b", "SP=a b", "SP=HAUS;ls"}) {
    const std::string page = Get(query);
    EXPECT_EQ("TELVARINSERVER", LoginHidden(page, "SP")) << query;
  }
  EXPECT_TRUE(Has(Post(LoginForm("../vorlund/x", 0, "anna", "geheim")), kLoginTitle));
  EXPECT_TRUE(SessionFiles().empty());

  const std::string id = SignOn();
  // An invalid page name: "File not Found" for a file inside the site directory.
  const std::string page = Get("SP=HAUS&sitename=../vorlund/x_Wohnen&sid=" + id);
  EXPECT_TRUE(Has(page, "File not Found: " + SiteDir() + "HAUS_.SHT")) << page;
  EXPECT_FALSE(Has(page, "Draussen"));
  // An invalid session id is no session, and signing off with one deletes nothing.
  EXPECT_TRUE(Has(Get("SP=HAUS&sitename=Wohnen&sid=../HAUS" + id), kLoginTitle));
  Get("SP=HAUS&sitename=signoff&sid=" + id + "/");
  EXPECT_EQ(1u, SessionFiles().size());
}

TEST_F(ServerRoad, ContentLengthIsCheckedBeforeTheBodyIsRead) {
  const std::string body = LoginForm("HAUS", 1, "anna", "geheim");
  const std::string size = std::to_string(body.size());
  struct Case {
    std::string length;
    bool signed_on;
  };
  const Case cases[] = {
      {size, true},
      {"", false},
      {"0", false},
      {"abc", false},
      {"-5", false},
      {"+" + size, false},
      {" " + size, false},
      {size + "x", false},
      {std::to_string(body.size() + 1), false},  // fewer bytes arrive: no data
      {"1048577", false},
      {"99999999999999999999", false},
  };
  for (const auto& c : cases) {
    const ProcResult r = testsupport::RunProgram(
        ServerBinary(), {},
        {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", c.length}, {"REMOTE_ADDR", "127.0.0.1"}},
        body, 20);
    const std::string page = Checked(r);
    EXPECT_EQ(c.signed_on, Has(page, "<title>Wohnen</title>")) << c.length;
    if (!c.signed_on) {
      EXPECT_EQ("TELVARINSERVER", LoginHidden(page, "SP")) << c.length;  // no data at all
      EXPECT_EQ("1", LoginHidden(page, "signoncounter")) << c.length;
    }
  }
  // The limit is 1 MiB, also when the whole body arrives.
  for (size_t total : {size_t{1} << 20, (size_t{1} << 20) + 1}) {
    const std::string big = body + "&" + std::string(total - body.size() - 1, 'z');
    const std::string page = Checked(testsupport::RunProgram(
        ServerBinary(), {},
        {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(big.size())}}, big));
    EXPECT_EQ(total == size_t{1} << 20, Has(page, "<title>Wohnen</title>")) << total;
  }
  // Only CONTENT_LENGTH bytes are read, and the body ends at a NUL byte.
  EXPECT_TRUE(Has(Checked(testsupport::RunProgram(
                      ServerBinary(), {},
                      {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", size}},
                      body + "&more=1")),
                  "<title>Wohnen</title>"));
  const std::string cut = std::string("SP=GARTEN\0&sitename=x", 21);
  EXPECT_EQ("GARTEN", LoginHidden(Post(cut), "SP"));
}

TEST_F(ServerRoad, MissingRemoteAddrIsTheLocalHost) {
  const std::string body = LoginForm("HAUS", 1, "anna", "geheim");
  const std::string page = Checked(testsupport::RunProgram(
      ServerBinary(), {},
      {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(body.size())}}, body));
  EXPECT_EQ(std::vector<std::string>{"HAUS" + Hidden(page, "sid") + "127p0p0p1.SID"},
            SessionFiles());
}

TEST_F(ServerRoad, OtherMethodsCarryNoRequest) {
  const std::string page = Checked(testsupport::RunProgram(
      ServerBinary(), {},
      {{"REQUEST_METHOD", "PUT"}, {"QUERY_STRING", "SP=HAUS"}, {"REMOTE_ADDR", "1.2.3.4"}}));
  EXPECT_EQ("TELVARINSERVER", LoginHidden(page, "SP"));
}

// The page for a Host that is not one of the box's names.
std::string UnknownHostPage(const std::string& shown) {
  return std::string("Content-type: text/html\n"
                     "Content-Security-Policy: default-src 'none'\n\n"
                     "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n"
                     "<html><head><title>Telvarin Error</title></head><body>\n"
                     "Fehler - unbekannter Servername: ") +
         shown + "\n</body></html>\n";
}

// Only the box's own names are served (a rebinding page's name is not): an
// address literal, localhost, the machine's name (also + ".local") and the
// names of HOSTNAMES.DAT, without regard to case, port or a trailing dot. Any
// other name gets the error page and nothing else: no runtime call, no
// session, no attempt counted, no file written.
TEST_F(ServerRoad, OnlyTheBoxsOwnHostNamesAreServed) {
  Write("HAUS.TVS", "FREEIPS=(ALL)\nSTARTPAGE=Wohnen\n");
  Write("HAUS_Wohnen.SHT", PageFile("Wohnen") + "#10000\nOBJROW=X@X@0@@1@N@@@@\n");
  Write("HOSTNAMES.DAT", "# names of the box\r\n\r\n  haus.example  \r\nKasten.Lan.\n");
  testsupport::TrialRuntime runtime("VAR 1 X N 7\n");
  ASSERT_TRUE(runtime.Start(testsupport::RuntimeDir() + "CTLKRN.CFG"));
  char name[256] = {};
  ASSERT_EQ(0, gethostname(name, sizeof name - 1));
  const std::string machine = name;
  struct Case {
    const char* host;  // nullptr: no Host at all
    const char* shown;  // the name on the error page; nullptr: served
  };
  const Case cases[] = {
      {nullptr, nullptr}, {"", nullptr},
      {"192.168.1.5", nullptr}, {"192.168.1.5:8080", nullptr}, {"10.0.0.1.", nullptr},
      {"[::1]", nullptr}, {"[fe80::1]:8080", nullptr}, {"[::FFFF:192.168.1.5]:80", nullptr},
      {"localhost", nullptr}, {"LocalHost.:80", nullptr},
      {"haus.example", nullptr}, {"HAUS.Example:8080", nullptr}, {"kasten.lan.", nullptr},
      {"evil.example", "evil.example"}, {"evil.example:8080", "evil.example"},
      {"192.168.1.5.evil.example", "192.168.1.5.evil.example"},
      {"[evil.example]:80", "[evil.example]"}, {"[::1", "[::1"},
      {"localhost:http", "localhost"}, {"localhost.local", "localhost.local"},
      {"# names of the box", "# names of the box"},
      {"<b>x\"&</b>", "&lt;b&gt;x&quot;&amp;&lt;/b&gt;"},
  };
  const std::string machine_hosts[] = {machine, machine + ".local", machine + ".LOCAL.:8080"};
  std::vector<Case> all(std::begin(cases), std::end(cases));
  for (const std::string& host : machine_hosts) all.push_back({host.c_str(), nullptr});
  const std::string unlisted = "x" + machine;
  all.push_back({unlisted.c_str(), unlisted.c_str()});
  for (const auto& c : all) {
    const std::string what = c.host ? c.host : "(none)";
    for (const auto& file : SessionFiles()) unlink((SiteDir() + file).c_str());
    unlink((SiteDir() + "SIGNONFAILS.DAT").c_str());
    runtime.ClearCalls();
    const std::vector<std::string> before = testsupport::ListDir(SiteDir());
    std::map<std::string, std::string> env;
    if (c.host) env["HTTP_HOST"] = c.host;
    // A failed sign-on: counted, and a free address makes a session.
    const ProcResult r =
        CgiPost(ServerBinary(), LoginForm("HAUS", 1, "anna", "falsch"), "127.0.0.1", env);
    EXPECT_EQ(0, r.status) << what;
    if (c.shown) {
      EXPECT_EQ(UnknownHostPage(c.shown), r.out) << what;
      EXPECT_EQ(before, testsupport::ListDir(SiteDir())) << what;
      EXPECT_TRUE(runtime.Calls().empty()) << what;
    } else {
      EXPECT_TRUE(Has(r.out, "<title>Wohnen</title>")) << what << "\n" << r.out;
      EXPECT_EQ(1u, SessionFiles().size()) << what;
      EXPECT_FALSE(runtime.Calls().empty()) << what;
    }
  }
}

class Freshness : public ServerRoad {
 protected:
  void SetUp() override {
    ServerRoad::SetUp();
    // A stand-in compiler that records its arguments and writes nothing.
    const std::string record = SiteDir() + "compiled";
    Write("Sheetmaker", "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\" >> '" + record +
                            "'; done\n");
    chmod((SiteDir() + "Sheetmaker").c_str(), 0755);
    af_ = testsupport::RuntimeDir() + "project.af";
    testsupport::WriteFile(af_, "project");
    testsupport::WriteFile(testsupport::RuntimeDir() + "ABLKRN.CFG", "X=1\nAF=" + af_ + "\n");
  }
  static void SetTime(const std::string& path, long long when) {
    struct utimbuf times = {static_cast<time_t>(when), static_cast<time_t>(when)};
    ASSERT_EQ(0, utime(path.c_str(), &times));
  }
  std::string Compiled() { return testsupport::ReadFile(SiteDir() + "compiled"); }
  // The record a compile of site against the project as it stands writes.
  static void RecordCompile(const std::string& site) {
    ASSERT_TRUE(WriteCompileRecord(CompileRecordPath(SiteDir(), site),
                                   ProjectRecordText(testsupport::RuntimeDir() + "ABLKRN.CFG")));
  }
  std::string af_;
};

// Every time of a real file is compared as a time, those that once stood for
// "no time" (0, 99999999) included. A site that has no compile record is
// compiled whatever the times (a site copied onto the box, an upgraded box);
// the project changes that the record sees are in sheetmaker_e2e_test.cc.
TEST_F(Freshness, TheOlderSiteIsCompiled) {
  struct Case {
    long long site, af;
    bool recorded;
    bool compiles;
  };
  const Case cases[] = {
      {1700000000, 1700000300, true, true},  {1700000300, 1700000000, true, false},
      {1700000000, 1700000000, true, false},  // equal times need nothing
      {0, 1, true, true},                     {1, 0, true, false},
      {99999999, 100000000, true, true},      {100000000, 99999999, true, false},
      {1700000300, 1700000000, false, true},  {1700000000, 1700000000, false, true},
  };
  for (const auto& c : cases) {
    unlink((SiteDir() + "compiled").c_str());
    unlink(CompileRecordPath(SiteDir(), "HAUS").c_str());
    SetTime(SiteDir() + "HAUS.TVS", c.site);
    SetTime(af_, c.af);
    if (c.recorded) RecordCompile("HAUS");
    EXPECT_TRUE(Has(Get("SP=HAUS"), kLoginTitle));
    EXPECT_EQ(c.compiles ? "[HAUS]\n" : "", Compiled()) << c.site << " / " << c.af;
  }
  // A valid name with a glob character reaches the compiler as it stands.
  unlink((SiteDir() + "compiled").c_str());
  Write("*.TVS", "\n");
  SetTime(SiteDir() + "*.TVS", 1700000000);
  SetTime(af_, 1700000300);
  RecordCompile("*");
  Get("SP=*");
  EXPECT_EQ("[*]\n", Compiled());
}

TEST_F(Freshness, UnknownTimesStartNothing) {
  SetTime(af_, 1700000000);
  Get("SP=NEU");   // no site definition file
  testsupport::WriteFile(testsupport::RuntimeDir() + "ABLKRN.CFG", "AF=" + af_ + "x\n");
  SetTime(SiteDir() + "HAUS.TVS", 0);
  Get("SP=HAUS");  // the AF file cannot be examined
  testsupport::WriteFile(testsupport::RuntimeDir() + "ABLKRN.CFG", "X=1\n");
  Get("SP=HAUS");  // no "AF=" line
  unlink((testsupport::RuntimeDir() + "ABLKRN.CFG").c_str());
  Get("SP=HAUS");  // no runtime configuration file
  EXPECT_EQ("", Compiled());
}

TEST_F(Freshness, InvalidSiteNameStartsNothing) {
  // Even with an out-of-date definition file for the empty name: the compiler
  // only ever gets a name that passed the check.
  Write(".TVS", "\n");
  SetTime(SiteDir() + ".TVS", 1700000000);
  SetTime(af_, 1700000300);
  for (const char* query : {"SP=HAUS;touch${IFS}x", "SP=$(id)", "SP=`id`", "SP="})
    EXPECT_TRUE(Has(Get(query), kLoginTitle)) << query;
  EXPECT_EQ("", Compiled());
}

}  // namespace

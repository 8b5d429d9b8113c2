// server_road_test.cc: the request road of the real TelvarinServer run as a CGI
// program on the test build's site directory: sign-on, sessions, free
// addresses, sign-off, the attempt counter, the compiler start, the checks on
// request values and the request body.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

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
      {"10.0.0.5", "SP=HAUS&sitename=*&sid=xxx&signoncounter=abc&User=anna&Passw=x", "2"},
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
  // Every wait slot taken, so that no request of this test waits.
  std::vector<int> slots;
  for (int i = 1; i <= 4; ++i) {
    const int fd = open((SiteDir() + "LOGINWAIT" + std::to_string(i) + ".LCK").c_str(),
                        O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(0, flock(fd, LOCK_EX | LOCK_NB));
    slots.push_back(fd);
  }
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
  const std::string attempts = testsupport::ReadFile(SiteDir() + "SIGNONFAILS.DAT");
  EXPECT_EQ(0u, attempts.find("10.0.0.7;3;")) << attempts;  // only three were checked
  // An attempt that would wait is checked only with a wait slot: from attempt
  // 6 on (the posted counter), the right password signs on once a slot is free.
  const std::string locked = Post(LoginForm("HAUS", 5, "anna", "geheim"), "10.0.0.8");
  EXPECT_EQ("6", LoginHidden(locked, "signoncounter"));
  EXPECT_TRUE(Has(locked, "</html>"));
  for (int fd : slots) close(fd);
  EXPECT_TRUE(Has(Post(LoginForm("HAUS", 5, "anna", "geheim"), "10.0.0.8"), "<title>Wohnen</title>"));
}

TEST_F(ServerRoad, AtMostFourRequestsWaitInATimeLock) {
  // 20 requests for attempt 9 (a 512 s lock) from 5 addresses at once: one
  // slot per address and four in all; every other request is answered at once.
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
  // The guard and the slots that were taken: the web server's user's alone.
  const auto created = CreatedFiles();
  EXPECT_EQ(1u, created.count("LOGINWAIT.LCK"));
  EXPECT_EQ(1u, created.count("LOGINWAIT1.LCK"));
  for (const auto& file : created) EXPECT_EQ(0600u, file.second) << file.first;
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
    const std::string page = Post(LoginForm("HAUS", counter, "anna", "falsch"));
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
  std::string af_;
};

// Every time of a real file is compared as a time, those that once stood for
// "no time" (0, 99999999) included.
TEST_F(Freshness, TheOlderSiteIsCompiled) {
  struct Case {
    long long site, af;
    bool compiles;
  };
  const Case cases[] = {
      {1700000000, 1700000300, true},  {1700000300, 1700000000, false},
      {1700000000, 1700000000, false},  // equal times need nothing
      {0, 1, true},                     {1, 0, false},
      {99999999, 100000000, true},      {100000000, 99999999, false},
  };
  for (const auto& c : cases) {
    unlink((SiteDir() + "compiled").c_str());
    SetTime(SiteDir() + "HAUS.TVS", c.site);
    SetTime(af_, c.af);
    EXPECT_TRUE(Has(Get("SP=HAUS"), kLoginTitle));
    EXPECT_EQ(c.compiles ? "[HAUS]\n" : "", Compiled()) << c.site << " / " << c.af;
  }
  // A valid name with a glob character reaches the compiler as it stands.
  unlink((SiteDir() + "compiled").c_str());
  Write("*.TVS", "\n");
  SetTime(SiteDir() + "*.TVS", 1700000000);
  SetTime(af_, 1700000300);
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

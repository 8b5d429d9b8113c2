// server_form_test.cc: page forms sent to the real TelvarinServer (GET and
// POST) with the trial runtime, asserting the exact writes and macro starts
// the runtime received and the page that came back: only what the page
// offers, once, not over a value changed since shown, only one of a
// selection's choices, not from another site, not from a link, and nothing
// from a page of an older compile or, when the browser says it is one of the
// box's own, without the page's stamp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

using testsupport::ProcResult;
using testsupport::RuntimeDir;
using testsupport::ServerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using Calls = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

// SPERRE refuses writes; IST is on the page read-only, KELLER and the macro
// NACHT are on no page.
const char kProject[] =
    "VAR 12 TEMP N 21.5\n"
    "VAR 3 FAKTOR N 1,5\n"
    "VAR 7 FARBE S Ab\n"
    "VAR 5 LICHT U Ein\n"
    "VAR 8 SPERRE N 0\n"
    "VAR 9 IST N 20\n"
    "VAR 10 KELLER N 5\n"
    "READONLY SPERRE\n"
    "MACRO 15 ALLESAUS\n"
    "MACRO 16 NACHT\n";

const char kPageFile[] =
    "#1000=Wohnen\n"
    "#6000\n"
    "OBJCOLS=0x;1x;2x;\n"
    "#8000\n"
    "SHEAD=Wohnen\n"
    "#10000\n"
    "OBJROW=TEMP@Temperatur@1@x@12@N@@@@00000\n"
    "OBJROW=FAKTOR@Faktor@1@x@3@N@@@@00000\n"
    "OBJROW=FARBE@Farbe@1@x@7@S@@@@0000000000\n"
    "OBJROW=LICHT@Licht@1@x@5@U@@2&Ein&Aus\n"
    "OBJROW=SPERRE@Sperre@1@x@8@N@@@@00000\n"
    "OBJROW=IST@Ist@0@x@9@N@@@@00000\n"
    "#11000\n"
    "MACRO=ALLESAUS@Alles aus@15\n";

const char kPageTitle[] = "<title>Wohnen</title>";
const char kBadParameters[] = "Fehler - ung\xFCltige Parameter beim Seitenaufruf";
const char kNoticeStart[] = "<p class=objcs align=center>";
const char kChanged[] = "Nicht \xFC" "bernommen (inzwischen ge\xE4" "ndert): ";
const char kStale[] = "Die Seite war veraltet; bitte die Werte erneut eingeben.";
const char kNotAChoice[] = "Nicht \xFC" "bernommen (keine g\xFC" "ltige Auswahl): ";

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// A notice line as the page writes it, right above the object table.
std::string NoticeAboveTable(const std::string& notice) {
  return kNoticeStart + notice + "</p>\n<table ID=TabObj";
}

// Each test runs against a runtime that offers "system.multicall" and one that
// does not and drops every fourth call of a connection: a write is never sent
// twice, whichever way the page's reads go.
class ServerForm : public ::testing::TestWithParam<std::vector<std::string>> {
 protected:
  void SetUp() override {
    testsupport::ResetFixedDirs();
    testsupport::WriteFile(SiteDir() + "HAUS.TVS", "AUTHMSG=Haus\n");
    testsupport::WriteFile(SiteDir() + "HAUS_WEBUSERS.USR", "anna;geheim;Wohnen\n");
    testsupport::WriteFile(SiteDir() + "HAUS_Wohnen.SHT", kPageFile);
    testsupport::WriteFile(SiteDir() + "HOSTNAMES.DAT", "box\n");
    StartRuntime({});
    const std::string login =
        "SP=HAUS&sitename=*&sid=xxx&signoncounter=1&User=anna&Passw=geheim&Signon=Anmelden";
    const std::string page = Send(login, true);
    const std::string key = "name=\"sid\" value=";
    const size_t at = page.find(key);
    ASSERT_NE(std::string::npos, at) << page;
    sid_ = page.substr(at + key.size(), page.find('>', at) - at - key.size());
    runtime_->ClearCalls();
  }
  std::vector<std::string> Options(std::vector<std::string> more = {}) {
    more.insert(more.end(), GetParam().begin(), GetParam().end());
    return more;
  }
  void StartRuntime(const std::vector<std::string>& options) {
    runtime_.reset(new TrialRuntime(kProject, Options(options)));
    ASSERT_TRUE(runtime_->Start(RuntimeDir() + "CTLKRN.CFG"));
  }
  std::string Send(const std::string& request, bool post, const Env& env = {}) {
    const ProcResult r = post ? testsupport::CgiPost(ServerBinary(), request, "127.0.0.1", env)
                              : testsupport::CgiGet(ServerBinary(), request, "127.0.0.1", env);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    return r.out;
  }
  // The page form of Wohnen with these fields after the hidden ones.
  std::string Form(const std::string& fields) {
    return "SP=HAUS&sitename=Wohnen&sid=" + sid_ + (fields.empty() ? "" : "&" + fields);
  }
  // The writes and macro starts received, in order (page reads left out).
  Calls Changes() {
    Calls out;
    for (const auto& call : runtime_->Calls())
      if (call.compare(0, 12, "setvarbyidx\t") == 0 || call.compare(0, 14, "startmacroidx\t") == 0)
        out.push_back(call);
    return out;
  }
  std::unique_ptr<TrialRuntime> runtime_;
  std::string sid_;
};

struct FormCase {
  std::string fields;
  Calls changes;
  bool page;           // the page again; else the error page
  std::string notice;  // the one notice line above the object table, or ""
  Env env;             // further CGI variables
};

std::string ManyUmlauts() {  // 4200 x "\xFC": the checksum passes 2^31 and wraps
  std::string field = "S7q-2071798096=";
  for (int i = 0; i < 4200; ++i) field += "%FC";
  return field;
}

std::string Repeated(const std::string& fields, int times) {
  std::string out = fields;
  for (int i = 1; i < times; ++i) out += "&" + fields;
  return out;
}

TEST_P(ServerForm, WritesWhatThePageOffersOnceAndOnlyFromItsOwnSite) {
  const Calls kWrite = {"setvarbyidx\t12=22", "startmacroidx\t15"};
  const FormCase cases[] = {
      {"", {}, true, "", {}},
      {"N12q21p5=21.5&S7q261=Ab&U5qEin=Ein&OKButton=Neue+Werte+einstellen", {}, true, "", {}},
      {"N12q21p5=21.7&OKButton=OK", {"setvarbyidx\t12=21.7"}, true, "", {}},
      {"S7q261=Abc", {"setvarbyidx\t7=\"Abc\""}, true, "", {}},
      {"U5qEin=Aus", {"setvarbyidx\t5=\"Aus\""}, true, "", {}},
      {"N3q1k5=1%2C5", {}, true, "", {}},
      {"S7q261=Gr%FCn", {"setvarbyidx\t7=\"Gr\xFCn\""}, true, "", {}},
      {"S7q261=a+b%2Bc", {"setvarbyidx\t7=\"a b+c\""}, true, "", {}},
      {"x15=ON&OKButton=OK", {"startmacroidx\t15"}, true, "", {}},
      {ManyUmlauts(), {}, true, "", {}},
      // SPERRE is refused: the walk ends there.
      {"N12q21p5=1&N8q0=3&x15=ON&N3q1k5=4", {"setvarbyidx\t12=1", "setvarbyidx\t8=3"}, false,
       "", {}},
      {"x15=ON&&N12q21p5=2", {"startmacroidx\t15"}, true, "", {}},  // an empty field ends the walk
      // Forged: a read-only row, a variable and a macro on no page, another kind.
      {"N9q20=21", {}, true, "", {}},
      {"N10q5=6", {}, true, "", {}},
      {"x16=ON", {}, true, "", {}},
      {"S12q0=x&U3q1k5=2", {}, true, "", {}},
      // Named a thousand times: written once, started once.
      {Repeated("N12q21p5=22&x15=ON", 1000), kWrite, true, "", {}},
      // The runtime holds another value than the one shown: not written, listed;
      // the walk goes on.
      {"N12q20=22&S7q261=Abc", {"setvarbyidx\t7=\"Abc\""}, true,
       kChanged + std::string("Temperatur"), {}},
      // A selection writes only one of its row's choices (the count is none).
      {"U5qEin=Kaputt&N12q21p5=22", {"setvarbyidx\t12=22"}, true, kNotAChoice + std::string("Licht"),
       {}},
      {"U5qEin=2", {}, true, kNotAChoice + std::string("Licht"), {}},
      // Without Sec-Fetch-Site (scripts, older browsers) an Origin must be the Host.
      {"N12q21p5=22&x15=ON", {}, true, "",
       {{"HTTP_ORIGIN", "http://evil.example"}, {"HTTP_HOST", "box"}}},
      {"N12q21p5=22&x15=ON", kWrite, true, "",
       {{"HTTP_ORIGIN", "http://box:8080"}, {"HTTP_HOST", "box:8080"}}},
  };
  for (bool post : {false, true}) {
    for (const auto& c : cases) {
      const std::string what = c.fields.substr(0, 80) + (post ? " POST" : " GET");
      // Every row starts from the project's values: a reload drops the writes.
      if (!Changes().empty()) {
        ASSERT_TRUE(runtime_->ChangeProject(kProject));
      }
      runtime_->ClearCalls();
      const std::string page = Send(Form(c.fields), post, c.env);
      EXPECT_EQ(c.changes, Changes()) << what;
      EXPECT_EQ(c.page, Has(page, kPageTitle)) << what;
      EXPECT_EQ(!c.page, Has(page, kBadParameters + std::string("\n"))) << what;
      if (c.notice.empty())
        EXPECT_FALSE(Has(page, kNoticeStart)) << what;
      else
        EXPECT_TRUE(Has(page, NoticeAboveTable(c.notice))) << what << "\n" << page;
    }
  }
}

// What a browser sends for a text: form encoding (blank as "+").
std::string FormEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (isalnum(c) && c < 0x80) {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The code of a text value in its field name: the sum of position times byte.
std::string Checksum(const std::string& text) {
  uint32_t sum = 0;
  for (size_t i = 0; i < text.size(); ++i)
    sum += static_cast<uint32_t>(i + 1) * static_cast<unsigned char>(text[i]);
  return std::to_string(static_cast<int32_t>(sum));
}

// A value from the runtime in every place of a page: value cells, text and
// number inputs, a selection and its preselection, field names, an HTML block
// (in its text and in a single-quoted attribute).
TEST(ServerFormValues, RuntimeValuesCannotScriptThePageAndComeBackUnchanged) {
  struct Case {
    std::string value;
    std::string text;      // as element text
    std::string inner;     // inside quotes, or as an option's text
    std::string unquoted;  // as an unquoted attribute
  };
  const Case cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;",
       "&lt;script&gt;alert(1)&lt;/script&gt;", "\"&lt;script&gt;alert(1)&lt;/script&gt;\""},
      {"a\" onfocus=\"b", "a&quot; onfocus=&quot;b", "a&quot; onfocus=&quot;b",
       "\"a&quot; onfocus=&quot;b\""},
      {"a b", "a b", "a b", "\"a b\""},
      {"' onmouseover='b", "&#39; onmouseover=&#39;b", "&#39; onmouseover=&#39;b",
       "\"&#39; onmouseover=&#39;b\""},
      {"&uuml;", "&uuml;", "&amp;uuml;", "\"&amp;uuml;\""},
      {"Gr\xFCn", "Gr\xFCn", "Gr\xFCn", "Gr\xFCn"},  // as ever
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    testsupport::ResetFixedDirs();
    testsupport::WriteFile(SiteDir() + "HAUS.TVS", "\n");
    testsupport::WriteFile(SiteDir() + "HAUS528616600127p0p0p1.SID", "x;anna");
    testsupport::WriteFile(SiteDir() + "HAUS_Werte.SHT",
                           "#1000=Werte\n#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=Werte\n"
                           "#10000\n"
                           "OBJROW=T@Text@1@x@7@S@@@@0000000000\n"
                           "OBJROW=W@Wahl@1@x@5@U@@2&" + c.value + "&Aus\n"
                           "OBJROW=Z@Zahl@1@x@12@N@@@@00000\n"
                           "#20000\nHTML1=<p title='%<T>'>%<T></p>\n");
    TrialRuntime runtime("VAR 7 T S " + c.value + "\nVAR 5 W U " + c.value +
                         "\nVAR 12 Z N " + c.value + "\n");
    ASSERT_TRUE(runtime.Start(testsupport::RuntimeDir() + "CTLKRN.CFG"));
    const std::string form = "SP=HAUS&sitename=Werte&sid=528616600";
    const std::string page = testsupport::CgiGet(ServerBinary(), form).out;
    const bool bare = c.unquoted[0] != '"';
    const std::string lines[] = {
        "<td class=valcs width=0>" + c.text + "</td>\n",
        "<td class=valcs><input type=text name=S7q" + Checksum(c.value) +
            " size=10 value=\"" + c.inner + "\"></td>\n",
        "<select size=1 name=" + (bare ? "U5q" + c.value : "\"U5q" + c.inner + "\"") + ">\n" +
            "<option selected>" + c.inner + "</option>\n<option>Aus</option>\n",
        "<td class=valcs><input type=text name=" +
            (bare ? "N12q" + c.value : "\"N12q" + c.inner + "\"") + " size=5 value=" +
            c.unquoted + "></td>\n",
        // A reference in a single-quoted attribute stays inside it.
        "<p title='&quot;" + c.text + "&quot;'>&quot;" + c.text + "&quot;</p>\n",
    };
    // A choice cannot hold "&", the page file's choice separator.
    const bool choice = c.value.find('&') == std::string::npos;
    for (const auto& line : lines) {
      if (choice || line.find("<select") == std::string::npos) {
        EXPECT_TRUE(Has(page, line)) << line << "\n" << page;
      }
    }
    // The form sent back unchanged, as a browser reads it from the page, writes
    // nothing. (Number fields compare undecoded; their values are numbers.)
    runtime.ClearCalls();
    std::string sent = form + "&S7q" + Checksum(c.value) + "=" + FormEncoded(c.value);
    if (choice) sent += "&U5q" + FormEncoded(c.value) + "=" + FormEncoded(c.value);
    sent += "&OKButton=OK";
    EXPECT_TRUE(Has(testsupport::CgiPost(ServerBinary(), sent).out, "<title>Werte</title>"));
    for (const auto& call : runtime.Calls()) EXPECT_NE(0u, call.find("setvarbyidx")) << call;
  }
}

TEST_P(ServerForm, RefusedWriteStopsTheWalk) {
  StartRuntime({"--refuse-writes"});
  const std::string page = Send(Form("x15=ON&N12q21p5=2&U5qEin=Aus&x15=ON"), true);
  EXPECT_EQ((Calls{"startmacroidx\t15", "setvarbyidx\t12=2"}), Changes());
  EXPECT_TRUE(Has(page, kBadParameters));
  EXPECT_FALSE(Has(page, kPageTitle));
}

TEST_P(ServerForm, LoginFormAppliesNoFields) {
  const std::string page = Send(
      "SP=HAUS&sitename=*&sid=xxx&signoncounter=1&User=anna&Passw=geheim&N12q21p5=5&x15=ON",
      true);
  EXPECT_TRUE(Has(page, kPageTitle));
  EXPECT_EQ(Calls{}, Changes());
}

TEST_P(ServerForm, FormWithoutSessionAppliesNothing) {
  const std::string page = Send("SP=HAUS&sitename=Wohnen&sid=1&N12q21p5=5&x15=ON", true);
  EXPECT_TRUE(Has(page, "<title>Telvarin-Server Anmeldung</title>"));
  EXPECT_EQ(Calls{}, Changes());
}

TEST_P(ServerForm, FreeAddressAppliesTheFieldsOfAStaleSession) {
  testsupport::WriteFile(SiteDir() + "HAUS.TVS", "FREEIPS=(ALL)\nSTARTPAGE=Wohnen\n");
  const std::string page = Send("SP=HAUS&sitename=Wohnen&sid=1&N12q21p5=5", false);
  EXPECT_EQ(Calls{"setvarbyidx\t12=5"}, Changes());
  EXPECT_TRUE(Has(page, kPageTitle));
}

TEST_P(ServerForm, RuntimeDownGivesTheErrorPage) {
  runtime_->Stop();
  EXPECT_TRUE(Has(Send(Form("N12q21p5=22"), true), kBadParameters));
  // Nothing to write and a macro whose start fails: the page, without values.
  EXPECT_TRUE(Has(Send(Form("N12q21p5=21.5&x15=ON"), true), kPageTitle));
}

// The project renumbered: TEMP moves to 13, FAKTOR takes its 12 with the value
// that the old page showed for TEMP; the macros swap.
const char kRenumbered[] =
    "VAR 13 TEMP N 21.5\n"
    "VAR 12 FAKTOR N 22\n"
    "VAR 7 FARBE S Ab\n"
    "VAR 5 LICHT U Ein\n"
    "VAR 8 SPERRE N 0\n"
    "VAR 9 IST N 20\n"
    "VAR 10 KELLER N 5\n"
    "READONLY SPERRE\n"
    "MACRO 16 ALLESAUS\n"
    "MACRO 15 NACHT\n";

// The form's address on a page, after "action=\"".
std::string ActionOf(const std::string& page) {
  const std::string key = "<form name=\"FORM1\" action=\"";
  const size_t at = page.find(key);
  if (at == std::string::npos) return std::string();
  const size_t start = at + key.size();
  return page.substr(start, page.find('"', start) - start);
}

// Waits until the clock has passed into a new second: file times are compared
// in whole seconds, and the renumbering must come after the last compile.
void WaitForNextSecond() {
  const time_t now = time(nullptr);
  while (time(nullptr) == now) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST_P(ServerForm, FormFromBeforeARenumberingWritesNothing) {
  const std::string compiler = testsupport::SheetmakerBinary();
  if (compiler.empty()) GTEST_SKIP() << "Sheetmaker is not part of this build";
  ASSERT_EQ(0, symlink(compiler.c_str(), (SiteDir() + "Sheetmaker").c_str()));
  const std::string site_file = SiteDir() + "HAUS.TVS";
  testsupport::WriteFile(site_file, "AUTHMSG=Haus\n*Site=Wohnen\n");
  ASSERT_TRUE(testsupport::SetFileTime(site_file, time(nullptr) - 3600));
  StartRuntime(testsupport::AblkrnOptions(RuntimeDir() + "ABLKRN.CFG", RuntimeDir() + "p.af"));

  // The page (the site is compiled first) carries the compile's stamp.
  std::string page = Send(Form(""), false);
  struct stat st {};
  ASSERT_EQ(0, stat(site_file.c_str(), &st));
  std::string stamp = "ST=" + std::to_string(st.st_ino) + "-" +
                            std::to_string(st.st_mtim.tv_sec) + "-" +
                            std::to_string(st.st_mtim.tv_nsec);
  ASSERT_EQ("TelvarinServer.ccc?" + stamp, ActionOf(page)) << page;

  // Every method, stamp and Sec-Fetch-Site: with the header only a same-origin
  // POST with the current stamp writes; such a POST without it or with an old
  // one gets the notice; anything else is a page view. Without the header the
  // stamp is checked when it is there (a GET carries it among its fields).
  const char* fetch_sites[] = {"same-origin", "same-site", "cross-site", "none", ""};
  for (bool post : {false, true}) {
    for (const char* kind : {"current", "ST=1-2-3", "ST=", ""}) {
      for (const char* fetch_site : fetch_sites) {
        // Every row starts from the project's values; the reload that restores
        // them touches the project file, and the next page compiles the site.
        if (!Changes().empty()) {
          ASSERT_TRUE(runtime_->ChangeProject(kProject));
        }
        const std::string action = ActionOf(Send(Form(""), false));
        const bool current = std::string(kind) == "current";
        const std::string sent = current ? action.substr(action.find('?') + 1) : kind;
        const bool same_origin_post = post && std::string(fetch_site) == "same-origin";
        const bool applies = *fetch_site ? same_origin_post && current : current || !*kind;
        const bool stale = *fetch_site ? same_origin_post && !current : !current && *kind;
        const std::string what =
            std::string(post ? "POST " : "GET ") + "'" + sent + "' " + fetch_site;
        runtime_->ClearCalls();
        Env env;
        if (*fetch_site) env["HTTP_SEC_FETCH_SITE"] = fetch_site;
        std::string fields = "N12q21p5=22&x15=ON&OKButton=OK";
        if (post)
          env["QUERY_STRING"] = sent;
        else if (!sent.empty())
          fields += "&" + sent;
        page = Send(Form(fields), post, env);
        const Calls want = applies ? Calls{"setvarbyidx\t12=22", "startmacroidx\t15"} : Calls{};
        EXPECT_EQ(want, Changes()) << what;
        EXPECT_TRUE(Has(page, kPageTitle)) << what;
        EXPECT_EQ(stale, Has(page, NoticeAboveTable(kStale))) << what;
        if (!stale) {
          EXPECT_FALSE(Has(page, kNoticeStart)) << what;
        }
      }
    }
  }

  // The stamp of the page shown last.
  stamp = ActionOf(Send(Form(""), false)).substr(sizeof("TelvarinServer.ccc?") - 1);

  // The runtime loads a renumbered project; the form of the page shown before
  // is sent: the site is compiled first, and the form's stamp is old.
  WaitForNextSecond();
  ASSERT_TRUE(runtime_->ChangeProject(kRenumbered));
  runtime_->ClearCalls();
  page = Send(Form("N12q22=23&x15=ON&OKButton=OK"), true, {{"QUERY_STRING", stamp}});
  EXPECT_EQ(Calls{}, Changes());
  EXPECT_TRUE(Has(page, NoticeAboveTable(kStale))) << page;
  EXPECT_TRUE(Has(page, "name=N13q21p5 ")) << page;  // the page with the new numbering
  const std::string new_action = ActionOf(page);
  EXPECT_NE("TelvarinServer.ccc?" + stamp, new_action);
  // Its own form is applied again.
  runtime_->ClearCalls();
  Send(Form("N13q21p5=19&x16=ON"), true,
       {{"QUERY_STRING", new_action.substr(new_action.find('?') + 1)}});
  EXPECT_EQ((Calls{"setvarbyidx\t13=19", "startmacroidx\t16"}), Changes());
}

INSTANTIATE_TEST_SUITE_P(
    Runtimes, ServerForm,
    ::testing::Values(std::vector<std::string>{},
                      std::vector<std::string>{"--no-multicall", "--drop-after", "3"}),
    [](const ::testing::TestParamInfo<std::vector<std::string>>& p) {
      return p.param.empty() ? "Multicall" : "NoMulticallDropping";
    });

}  // namespace

// server_form_test.cc: page forms sent to the real TelvarinServer (GET and
// POST) with the trial runtime, asserting the exact writes and macro starts
// the runtime received and the page that came back.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using testsupport::ProcResult;
using testsupport::ServerBinary;
using testsupport::SiteDir;
using testsupport::TrialRuntime;
using Calls = std::vector<std::string>;

const char kProject[] =
    "VAR 12 TEMP N 21.5\n"
    "VAR 3 FAKTOR N 1,5\n"
    "VAR 7 FARBE S Ab\n"
    "VAR 5 LICHT U Ein\n"
    "MACRO 15 ALLESAUS\n";

const char kPageFile[] =
    "#1000=Wohnen\n"
    "#6000\n"
    "OBJCOLS=0x;1x;2x;\n"
    "#8000\n"
    "SHEAD=Wohnen\n"
    "#10000\n"
    "OBJROW=TEMP@Temperatur@1@x@12@N@@@@00000\n"
    "OBJROW=FARBE@Farbe@1@x@7@S@@@@0000000000\n"
    "OBJROW=LICHT@Licht@1@x@5@U@@2&Ein&Aus\n"
    "#11000\n"
    "MACRO=ALLESAUS@Alles aus@15\n";

const char kPageTitle[] = "<title>Wohnen</title>";
const char kBadParameters[] = "Fehler - ung\xFCltige Parameter beim Seitenaufruf";

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
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
    runtime_.reset(new TrialRuntime(kProject, Options()));
    ASSERT_TRUE(runtime_->Start(testsupport::RuntimeDir() + "CTLKRN.CFG"));
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
  std::string Send(const std::string& request, bool post) {
    const ProcResult r = post ? testsupport::CgiPost(ServerBinary(), request)
                              : testsupport::CgiGet(ServerBinary(), request);
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
  bool page;  // the page again; else the error page
};

std::string ManyUmlauts() {  // 4200 x "\xFC": the checksum passes 2^31 and wraps
  std::string field = "S7q-2071798096=";
  for (int i = 0; i < 4200; ++i) field += "%FC";
  return field;
}

TEST_P(ServerForm, ChangedValuesAreWrittenAndTickedMacrosStarted) {
  const FormCase cases[] = {
      {"", {}, true},
      {"N12q21p5=21.5&S7q261=Ab&U5qEin=Ein&OKButton=Neue+Werte+einstellen", {}, true},
      {"N12q21p5=21.7&OKButton=OK", {"setvarbyidx\t12=21.7"}, true},
      {"S7q261=Abc", {"setvarbyidx\t7=\"Abc\""}, true},
      {"U5qEin=Aus", {"setvarbyidx\t5=\"Aus\""}, true},
      {"N3q1k5=1%2C5", {}, true},
      {"S7q261=Gr%FCn", {"setvarbyidx\t7=\"Gr\xFCn\""}, true},
      {"S7q261=a+b%2Bc", {"setvarbyidx\t7=\"a b+c\""}, true},
      {"S7q1495=Gr%FCn", {}, true},  // unchanged umlaut text
      {"U5qGr%FCn=Gr%FCn", {}, true},
      {"x15=ON&OKButton=OK", {"startmacroidx\t15"}, true},
      {ManyUmlauts(), {}, true},
      {"N12q1=2&N99q1=3&x15=ON&N12q1=4",  // 99 is refused: the walk ends there
       {"setvarbyidx\t12=2", "setvarbyidx\t99=3"},
       false},
      {"x15=ON&&N12q1=2", {"startmacroidx\t15"}, true},  // an empty field ends the walk
  };
  for (bool post : {false, true}) {
    for (const auto& c : cases) {
      runtime_->ClearCalls();
      const std::string page = Send(Form(c.fields), post);
      EXPECT_EQ(c.changes, Changes()) << c.fields.substr(0, 80) << (post ? " POST" : " GET");
      EXPECT_EQ(c.page, Has(page, kPageTitle)) << c.fields.substr(0, 80);
      EXPECT_EQ(!c.page, Has(page, kBadParameters + std::string("\n"))) << c.fields.substr(0, 80);
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
// number inputs, a selection and its preselection, field names, an HTML block.
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
                           "#20000\nHTML1=<p>%<T></p>\n");
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
        "<p>&quot;" + c.text + "&quot;</p>\n",
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
  runtime_.reset(new TrialRuntime(kProject, Options({"--refuse-writes"})));
  ASSERT_TRUE(runtime_->Start(testsupport::RuntimeDir() + "CTLKRN.CFG"));
  const std::string page = Send(Form("x15=ON&N12q1=2&U5qEin=Aus&x15=ON"), true);
  EXPECT_EQ((Calls{"startmacroidx\t15", "setvarbyidx\t12=2"}), Changes());
  EXPECT_TRUE(Has(page, kBadParameters));
  EXPECT_FALSE(Has(page, kPageTitle));
}

TEST_P(ServerForm, LoginFormAppliesNoFields) {
  const std::string page = Send(
      "SP=HAUS&sitename=*&sid=xxx&signoncounter=1&User=anna&Passw=geheim&N12q1=5&x15=ON", true);
  EXPECT_TRUE(Has(page, kPageTitle));
  EXPECT_EQ(Calls{}, Changes());
}

TEST_P(ServerForm, FormWithoutSessionAppliesNothing) {
  const std::string page = Send("SP=HAUS&sitename=Wohnen&sid=1&N12q1=5&x15=ON", true);
  EXPECT_TRUE(Has(page, "<title>Telvarin-Server Anmeldung</title>"));
  EXPECT_EQ(Calls{}, Changes());
}

TEST_P(ServerForm, FreeAddressAppliesTheFieldsOfAStaleSession) {
  testsupport::WriteFile(SiteDir() + "HAUS.TVS", "FREEIPS=(ALL)\nSTARTPAGE=Wohnen\n");
  const std::string page = Send("SP=HAUS&sitename=Keller&sid=1&N12q1=5", false);
  EXPECT_EQ(Calls{"setvarbyidx\t12=5"}, Changes());
  EXPECT_TRUE(Has(page, kPageTitle));
}

TEST_P(ServerForm, RuntimeDownGivesTheErrorPage) {
  runtime_->Stop();
  EXPECT_TRUE(Has(Send(Form("N12q21p5=22"), true), kBadParameters));
  // Nothing to write and a macro whose start fails: the page, without values.
  EXPECT_TRUE(Has(Send(Form("N12q21p5=21.5&x15=ON"), true), kPageTitle));
}

INSTANTIATE_TEST_SUITE_P(
    Runtimes, ServerForm,
    ::testing::Values(std::vector<std::string>{},
                      std::vector<std::string>{"--no-multicall", "--drop-after", "3"}),
    [](const ::testing::TestParamInfo<std::vector<std::string>>& p) {
      return p.param.empty() ? "Multicall" : "NoMulticallDropping";
    });

}  // namespace

// objrows_test.cc: object rows, value and input cells, macro rows, HTML blocks
// and form field names, written into a capture buffer with values from the
// trial runtime (and from a small answer server for answers it never gives).
#include "server/objrows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include <flxmlrpc/XmlRpc.h>

#include "harness.h"
#include "common/config.h"
#include "common/output.h"
#include "common/runtime.h"
#include "server/sitefiles.h"

namespace {

using testsupport::TrialRuntime;

const char kProject[] =
    "VAR 12 LICHT N 1.5\n"
    "VAR 13 SOLL N 1.234,5\n"
    "VAR 7 NAME S Ab\n"
    "VAR 8 ORT S Gr\xFCn\n"
    "VAR 5 MODUS U Ein\n"
    "VAR 6 ANDERS U Nichts\n"
    "VAR 20 TEMP N 12.5\n"
    "VAR 21 KURZ N 1\n"
    "VAR 22 LANG U %<KURZ> ist lang\n";

// A runtime address where nothing listens.
const char kDownUrl[] = "xmlrpc://127.0.0.1:1";

class ObjRows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    runtime_ = new TrialRuntime(kProject);
    started_ = runtime_->Start();
  }
  static void TearDownTestSuite() {
    delete runtime_;
    runtime_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(started_) << "the trial runtime did not start";
    AbKeURL = runtime_->Url();
    ResetRuntimeClientState();
    runtime_->ClearCalls();
    PageSettings = PageSettingsRec();
    PageSettings.OBJCOLS = "0x;1x;2x;";
    PageSettings.OBWIDTH = 150;
    PageSettings.OWWIDTH = 80;
    PageSettings.INPW = 90;
    SetOutputCapture(&out_);
  }
  void TearDown() override {
    SetOutputCapture(nullptr);
    ResetRuntimeClientState();
  }
  static TrialRuntime* runtime_;
  static bool started_;
  std::string out_;
};
TrialRuntime* ObjRows::runtime_ = nullptr;
bool ObjRows::started_ = false;

TEST_F(ObjRows, CompleteRow) {
  WriteObjectRow("Licht@Licht Flur@1@@12@N@@@@#####");
  EXPECT_EQ(
      "<tr><td class=objcs width=150>Licht Flur</td>\n"
      "<td class=valcs width=80>1.5</td>\n"
      "<td class=valcs><input type=text name=N12q1p5 size=5 value=1.5></td>\n"
      "</tr>\n",
      out_);
  EXPECT_EQ(std::vector<std::string>{"getvarbyidx\t1\t12"}, runtime_->Calls());
}

struct RowCase {
  const char* objcols;
  const char* record;
  const char* want;
};
const RowCase kRowCases[] = {
    // Read-only with a value column: the input column stays empty.
    {"0x;1x;2x;", "Licht@Licht@0@@12@N@@@@###",
     "<tr><td class=objcs width=150>Licht</td>\n<td class=valcs width=80>1.5</td>\n</tr>\n"},
    // Read-only without a value column: the input column shows the value.
    {"0x;2x;", "Licht@Licht@@@12@N@@@@###",
     "<tr><td class=objcs width=150>Licht</td>\n<td class=valcs width=80>1.5</td>\n</tr>\n"},
    // Editable without a value column.
    {"2x;0x;", "Soll@Soll@1@@13@N@@@@####",
     "<tr><td class=valcs><input type=text name=N13q1p234k5 size=4 value=1.234,5></td>\n"
     "<td class=objcs width=150>Soll</td>\n</tr>\n"},
    // A text: the value cell drops the quotes, the input keeps them.
    {"0x;1x;2x;", "Name@Name@1@@7@S@@@@######",
     "<tr><td class=objcs width=150>Name</td>\n<td class=valcs width=80>Ab</td>\n"
     "<td class=valcs><input type=text name=S7q261 size=6 value=\"Ab\"></td>\n</tr>\n"},
    {"1x;2x;", "Ort@Ort@1@@8@S@@@@##",
     "<tr><td class=valcs width=80>Gr\xFCn</td>\n"
     "<td class=valcs><input type=text name=S8q1495 size=2 value=\"Gr\xFCn\"></td>\n</tr>\n"},
    // A selection: the choice equal to the value is selected.
    {"2x;", "Modus@Modus@1@@5@U@@3&Aus&Ein&Auto@@",
     "<tr><td class=valcs width=90>\n<select size=1 name=U5qEin>\n<option>Aus</option>\n"
     "<option selected>Ein</option>\n<option>Auto</option>\n</select></td>\n</tr>\n"},
    {"2x;", "Anders@Anders@1@@6@U@@2&Aus&Ein@@",
     "<tr><td class=valcs width=90>\n<select size=1 name=U6qNichts>\n<option>Aus</option>\n"
     "<option>Ein</option>\n</select></td>\n</tr>\n"},
    // An unknown kind gets no input cell; unknown columns write nothing.
    {"0x;3x;2x;", "Licht@Licht@1@@12@X@@@@#",
     "<tr><td class=objcs width=150>Licht</td>\n</tr>\n"},
    // No columns: the row is empty; columns end at the first empty entry.
    {"", "Licht@Licht@1@@12@N@@@@#", "<tr></tr>\n"},
    {"0x;;1x;", "Licht@Licht@1@@12@N@@@@#", "<tr><td class=objcs width=150>Licht</td>\n</tr>\n"},
};

TEST_F(ObjRows, RowsByColumnsKindAndEditability) {
  for (const auto& c : kRowCases) {
    out_.clear();
    PageSettings.OBJCOLS = c.objcols;
    WriteObjectRow(c.record);
    EXPECT_EQ(c.want, out_) << c.objcols << " / " << c.record;
  }
}

TEST_F(ObjRows, HasValueColumnIsSetByEveryRow) {
  PageSettings.OBJCOLS = "0x;1x;";
  WriteObjectRow("Licht@Licht@0@@12@N@@@@#");
  EXPECT_TRUE(hasValueColumn);
  PageSettings.OBJCOLS = "0x;2x;";
  WriteObjectRow("Licht@Licht@0@@12@N@@@@#");
  EXPECT_FALSE(hasValueColumn);
}

// Fallback texts are shown whole, also in a text row, and never become form
// elements: sent back, they would be written to the runtime as the new value.
TEST_F(ObjRows, InvalidIndexShowsTheFallbackWithoutACall) {
  WriteObjectRow("Name@Name@1@@-1@S@@@@######");
  EXPECT_EQ(
      "<tr><td class=objcs width=150>Name</td>\n"
      "<td class=valcs width=80>ung\xFCltiger Index</td>\n"
      "<td class=valcs width=80>ung\xFCltiger Index</td>\n"
      "</tr>\n",
      out_);
  EXPECT_TRUE(runtime_->Calls().empty());
}

TEST_F(ObjRows, RuntimeDownShowsTheFallbackWhole) {
  AbKeURL = kDownUrl;
  PageSettings.OBJCOLS = "0x;1x;2x;";
  WriteObjectRow("Modus@Modus@1@@5@U@@2&Aus&Ein@@");
  WriteObjectRow("Name@Name@1@@7@S@@@@######");
  EXPECT_EQ(
      "<tr><td class=objcs width=150>Modus</td>\n"
      "<td class=valcs width=80>Wert nicht verf&uuml;gbar</td>\n"
      "<td class=valcs width=80>Wert nicht verf&uuml;gbar</td>\n"
      "</tr>\n"
      "<tr><td class=objcs width=150>Name</td>\n"
      "<td class=valcs width=80>Wert nicht verf&uuml;gbar</td>\n"
      "<td class=valcs width=80>Wert nicht verf&uuml;gbar</td>\n"
      "</tr>\n",
      out_);
  out_.clear();
  PageSettings.OBJCOLS = "0x;1x;2x;";
  WriteObjectRow("Name@Name@0@@7@S@@@@######");  // read-only: the input column stays empty
  EXPECT_EQ(
      "<tr><td class=objcs width=150>Name</td>\n"
      "<td class=valcs width=80>Wert nicht verf&uuml;gbar</td>\n</tr>\n",
      out_);
}

// Answers the trial runtime never gives: "getvarbyidx" returns a fixed text.
class AnswerServer {
 public:
  class Method : public XmlRpc::XmlRpcServerMethod {
   public:
    Method(XmlRpc::XmlRpcServer* server, std::string answer)
        : XmlRpc::XmlRpcServerMethod("getvarbyidx", server), answer_(std::move(answer)) {}
    void execute(XmlRpc::XmlRpcValue&, XmlRpc::XmlRpcValue& result) override {
      result[0] = answer_;
    }
    std::string answer_;
  };
  explicit AnswerServer(const std::string& answer) : method_(&server_, answer) {
    server_.bindAndListen(0);
    thread_ = std::thread([this] {
      while (!stop_) server_.work(0.05);
    });
  }
  ~AnswerServer() {
    stop_ = true;
    thread_.join();
    server_.shutdown();
  }
  std::string Url() { return "xmlrpc://127.0.0.1:" + std::to_string(server_.getPort()); }

 private:
  XmlRpc::XmlRpcServer server_;
  Method method_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(ObjRows, AnswerWithoutEqualsAfterItsFirstByteGivesNoRow) {
  for (const char* answer : {"LICHT", "=1.5", ""}) {
    AnswerServer server(answer);
    AbKeURL = server.Url();
    out_.clear();
    WriteObjectRow("Licht@Licht@1@@12@N@@@@#");
    EXPECT_EQ("", out_) << answer;
  }
  AnswerServer server("L=");  // an empty value still gives a row
  AbKeURL = server.Url();
  out_.clear();
  PageSettings.OBJCOLS = "1x;";
  WriteObjectRow("Licht@Licht@1@@12@N@@@@#");
  EXPECT_EQ("<tr><td class=valcs width=80></td>\n</tr>\n", out_);
}

// A macro row offers its checkbox only for a plain non-negative decimal index.
TEST_F(ObjRows, MacroRows) {
  const std::string invalid = "ung\xFCltiger Index";
  const struct {
    const char* record;
    std::string box;
  } cases[] = {
      {"AllesAus@Alles aus@15", "<input type=CHECKBOX name=\"x15\" value=ON >"},
      {"AllesAus@Alles aus@0", "<input type=CHECKBOX name=\"x0\" value=ON >"},
      {"AllesAus@Alles aus@2147483647", "<input type=CHECKBOX name=\"x2147483647\" value=ON >"},
      {"AllesAus@Alles aus", invalid},  // no index field
      {"AllesAus@Alles aus@", invalid},
      {"AllesAus@Alles aus@-1", invalid},  // a name the runtime did not know
      {"AllesAus@Alles aus@abc", invalid},
      {"AllesAus@Alles aus@+1", invalid},
      {"AllesAus@Alles aus@1 ", invalid},
      {"AllesAus@Alles aus@2147483648", invalid},  // beyond an int: no other macro
  };
  for (const auto& c : cases) {
    out_.clear();
    WriteMacroRow(c.record);
    EXPECT_EQ("<tr><td class=maccs>" + c.box + "&nbsp;Alles aus&nbsp;</td></tr>\n", out_)
        << c.record;
  }
  EXPECT_TRUE(runtime_->Calls().empty());
}

struct RefCase {
  const char* text;
  const char* want;
};
const RefCase kRefCases[] = {
    {"Aussen %<temp> Grad", "Aussen 12.5 Grad"},
    {"%<temp> Grad", "12.5 Grad"},             // a reference at the start
    {"%<Temp>%<kurz>", "12.51"},               // two adjacent
    {"a %<nix> b", "a  b"},                    // unknown: the empty text
    {"a %<temp b %<kurz", "a %<temp b %<kurz"},  // unclosed: left as it is
    {"%<kurz> %<temp> c", "1 12.5 c"},          // a short value hides nothing
    {"%<lang> %<temp>", "%&lt;KURZ&gt; ist lang 12.5"},  // never searched; escaped
    {"kein Bezug > %", "kein Bezug > %"},
};
TEST_F(ObjRows, ReplaceVarRefs) {
  for (const auto& c : kRefCases) EXPECT_EQ(c.want, ReplaceVarRefs(c.text)) << c.text;
}

TEST_F(ObjRows, HTMLBlockAsksForUpperCaseNamesAndWritesOneLine) {
  WriteHTMLBlock("<b>%<lang></b> %<temp>");
  EXPECT_EQ("<b>%&lt;KURZ&gt; ist lang</b> 12.5\n", out_);
  EXPECT_EQ((std::vector<std::string>{"getvarbyname\t1\tLANG", "getvarbyname\t1\tTEMP"}),
            runtime_->Calls());
}

TEST_F(ObjRows, HTMLBlockWithTheRuntimeDownDropsTheReferences) {
  AbKeURL = kDownUrl;
  WriteHTMLBlock("Aussen %<temp> Grad");
  EXPECT_EQ("Aussen  Grad\n", out_);
}

}  // namespace

// trial_runtime_test.cc: the trial runtime poked directly with a raw XML-RPC
// client: the answer shapes of every method, stored writes, Latin-1 bytes both
// ways, the call log, each misbehaviour option, the control file, the end
// command, and the project reload with its AF file.
#include <flxmlrpc/XmlRpc.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "harness.h"

namespace {

using testsupport::TrialRuntime;
using XmlRpc::XmlRpcValue;

const char kProject[] =
    "# a comment, then a blank line\n"
    "\n"
    "VAR 12 TEMP N 21.5\n"
    "VAR 7 Farbe S Gr\xFCn und Blau\n"
    "VAR 5 LICHT U Aus\n"
    "VAR 9 gr\xFCn U 1\n"
    "VAR 30 AUSSEN N 7,4\n"
    "READONLY aussen\n"
    "MACRO 15 ALLESAUS\n";

class Silent : public XmlRpc::XmlRpcErrorHandler {
 public:
  void error(const char*) override {}
};

// The library's client fails every call with keep-open off (it closes itself
// after reading the answer and then reports the call as not carried out), and
// with keep-open on it sends a request again when the connection closes before
// any answer. This client keeps it open but never sends twice, so that the log
// shows exactly the requests made.
class OneShotClient : public XmlRpc::XmlRpcClient {
 public:
  using XmlRpcClient::XmlRpcClient;

 protected:
  bool readHeader() override {
    _sendAttempts = 1;  // the library re-sends only while this is 0
    return XmlRpcClient::readHeader();
  }
};

// The answer as text: "i:1", "s:text", elements joined by " | "; "FAULT" for a
// fault and "FAILED" when the call was not carried out.
std::string Render(const XmlRpcValue& value) {
  switch (value.getType()) {
    case XmlRpcValue::TypeInt: return "i:" + std::to_string(static_cast<int>(value));
    case XmlRpcValue::TypeString: return "s:" + static_cast<const std::string&>(value);
    case XmlRpcValue::TypeArray: {
      std::string text;
      for (int i = 0; i < value.size(); ++i) text += (i ? " | " : "") + Render(value[i]);
      return text;
    }
    default: return "?" + value.toXml();
  }
}

std::string Call(int port, const std::string& method, const std::vector<XmlRpcValue>& args,
                 double timeout_s = 10) {
  static Silent silent;
  XmlRpc::XmlRpcErrorHandler::setErrorHandler(&silent);
  XmlRpc::setVerbosity(0);
  XmlRpcValue params, result;
  params.setSize(static_cast<int>(args.size()));
  for (size_t i = 0; i < args.size(); ++i) params[static_cast<int>(i)] = args[i];
  OneShotClient client("127.0.0.1", port);
  if (!client.execute(method.c_str(), params, result, timeout_s)) return "FAILED";
  if (client.isFault()) return "FAULT";
  return Render(result);
}

struct ShapeCase {
  const char* method;
  std::vector<XmlRpcValue> args;
  const char* want;
};

TEST(TrialRuntime, AnswersEveryMethodInItsShape) {
  const ShapeCase cases[] = {
      {"getvarbyname", {1, "temp"}, "s:TEMP=21.5"},
      {"getvarbyname", {1, "FARBE"}, "s:FARBE=\"Gr\xFCn und Blau\""},
      {"getvarbyname", {2, "farbe"}, "s:\"Gr\xFCn und Blau\""},
      {"getvarbyname", {3, "licht"}, "s:5;LICHT;U;Aus"},
      {"getvarbyname", {1, "GR\xDCN"}, "s:GR\xDCN=1"},
      {"getvarbyname", {1, "NIX"}, "FAULT"},
      {"getvarbyname", {"1", "TEMP"}, "FAULT"},
      {"getvarbyidx", {1, "12"}, "s:TEMP=21.5"},
      {"getvarbyidx", {1, "99"}, "FAULT"},
      {"setvarbyidx", {"99=1"}, "i:0"},
      {"setvarbyidx", {"30=8"}, "i:0"},  // READONLY
      {"setvarbyidx", {"kein Befehl"}, "i:0"},
      {"startmacroidx", {15}, "i:0"},
      {"startmacroidx", {"15"}, "i:0"},
      {"startmacroidx", {3}, "i:-1"},
      {"getvaridx", {"Licht"}, "i:5"},
      {"getvaridx", {"ALLESAUS"}, "i:-1"},
      {"getobjidx", {"allesaus"}, "i:15"},
      {"getobjidx", {"TEMP"}, "i:-1"},
      {"createvarlist", {""}, "i:2 | s:TEMP;FARBE;LICHT;GR\xDCN;AUSSEN"},
      {"createvarlist", {"*"}, "i:2 | s:TEMP;FARBE;LICHT;GR\xDCN;AUSSEN"},
      {"createvarlist", {"gr"}, "i:2 | s:GR\xDCN"},
      {"createvarlist", {"Q"}, "i:0"},
      {"setvarbyname", {"NIX=1"}, "i:0"},
      {"workfile", {"ren", "a.prj", "b.prj"}, "i:1"},
      {"workfile", {"del", "a.prj"}, "i:1"},
      {"comablaufkern", {111}, "i:0"},
      {"keinemethode", {}, "FAULT"},
  };
  TrialRuntime runtime(kProject);
  ASSERT_TRUE(runtime.Start());
  for (const ShapeCase& c : cases) {
    EXPECT_EQ(c.want, Call(runtime.port(), c.method, c.args)) << c.method << " " << c.args.size();
  }
  const std::vector<std::string> calls = runtime.Calls();
  ASSERT_EQ(std::size(cases), calls.size());
  EXPECT_EQ("getvarbyname\t1\ttemp", calls[0]);
  EXPECT_EQ("startmacroidx\t15", calls[12]);
  EXPECT_EQ("workfile\tren\ta.prj\tb.prj", calls[24]);
  EXPECT_EQ("keinemethode", calls.back());
  EXPECT_TRUE(runtime.Running());
}

TEST(TrialRuntime, StoresWritesUnlessRefused) {
  TrialRuntime runtime(kProject);
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ("i:1", Call(runtime.port(), "setvarbyidx", {"7=\"Rot\""}));
  EXPECT_EQ("s:FARBE=\"Rot\"", Call(runtime.port(), "getvarbyidx", {1, "7"}));
  EXPECT_EQ("i:1", Call(runtime.port(), "setvarbyname", {"licht=Ein=1"}));
  EXPECT_EQ("s:LICHT=Ein=1", Call(runtime.port(), "getvarbyname", {1, "LICHT"}));

  TrialRuntime refusing(kProject, {"--refuse-writes"});
  ASSERT_TRUE(refusing.Start());
  EXPECT_EQ("i:0", Call(refusing.port(), "setvarbyidx", {"12=1"}));
  EXPECT_EQ("i:0", Call(refusing.port(), "setvarbyname", {"TEMP=1"}));
  EXPECT_EQ("s:TEMP=21.5", Call(refusing.port(), "getvarbyidx", {1, "12"}));
}

TEST(TrialRuntime, PassesLatin1BytesUnchangedBothWays) {
  std::string all;  // every printable byte, the XML specials among them
  for (int c = 0x20; c <= 0xFF; ++c) all += static_cast<char>(c);
  all += "\t";
  TrialRuntime runtime(kProject);
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ("i:1", Call(runtime.port(), "setvarbyidx", {"5=" + all}));
  EXPECT_EQ("s:LICHT=" + all, Call(runtime.port(), "getvarbyidx", {1, "5"}));
  EXPECT_EQ("s:" + all, Call(runtime.port(), "getvarbyname", {2, "licht"}));
  EXPECT_EQ("setvarbyidx\t5=" + all, runtime.Calls().at(0));
}

TEST(TrialRuntime, FaultOptionFaultsOnlyTheNamedMethods) {
  TrialRuntime one(kProject, {"--fault", "getvarbyidx", "--fault", "setvarbyidx"});
  ASSERT_TRUE(one.Start());
  EXPECT_EQ("FAULT", Call(one.port(), "getvarbyidx", {1, "12"}));
  EXPECT_EQ("FAULT", Call(one.port(), "setvarbyidx", {"12=3"}));
  EXPECT_EQ("s:TEMP=21.5", Call(one.port(), "getvarbyname", {1, "TEMP"}));  // not written
  EXPECT_EQ((std::vector<std::string>{"getvarbyidx\t1\t12", "setvarbyidx\t12=3",
                                      "getvarbyname\t1\tTEMP"}),
            one.Calls());

  TrialRuntime all(kProject, {"--fault", "all"});
  ASSERT_TRUE(all.Start());
  EXPECT_EQ("FAULT", Call(all.port(), "getvaridx", {"TEMP"}));
  EXPECT_EQ("FAULT", Call(all.port(), "comablaufkern", {110}));
  EXPECT_TRUE(all.Running());
}

TEST(TrialRuntime, WrongTypesSwapIntsAndStrings) {
  TrialRuntime runtime(kProject, {"--wrong-types"});
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ("i:0", Call(runtime.port(), "getvarbyname", {1, "TEMP"}));
  EXPECT_EQ("s:1", Call(runtime.port(), "setvarbyidx", {"12=3"}));
  EXPECT_EQ("s:12", Call(runtime.port(), "getvaridx", {"TEMP"}));
  EXPECT_EQ("s:2 | i:0", Call(runtime.port(), "createvarlist", {"TEMP"}));
}

double SecondsOf(const std::function<void()>& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(TrialRuntime, DelayAnswersLate) {
  TrialRuntime runtime(kProject, {"--delay", "0.6"});
  ASSERT_TRUE(runtime.Start());
  std::string answer;
  const double spent = SecondsOf([&] { answer = Call(runtime.port(), "getvaridx", {"TEMP"}); });
  EXPECT_EQ("i:12", answer);
  EXPECT_GE(spent, 0.55);
  EXPECT_EQ("FAILED", Call(runtime.port(), "getvaridx", {"TEMP"}, 0.2));
}

TEST(TrialRuntime, HangReadsAndNeverAnswers) {
  TrialRuntime runtime(kProject, {"--hang"});
  ASSERT_TRUE(runtime.Start());
  std::string answer;
  const double spent = SecondsOf([&] { answer = Call(runtime.port(), "getvaridx", {"TEMP"}, 0.5); });
  EXPECT_EQ("FAILED", answer);
  EXPECT_GE(spent, 0.45);
  // Still accepting and logging while the first connection hangs.
  EXPECT_EQ("FAILED", Call(runtime.port(), "setvarbyidx", {"12=1"}, 0.3));
  EXPECT_EQ((std::vector<std::string>{"getvaridx\tTEMP", "setvarbyidx\t12=1"}), runtime.Calls());
  EXPECT_TRUE(runtime.Running());
}

TEST(TrialRuntime, DropClosesWithoutAnswer) {
  TrialRuntime runtime(kProject, {"--drop"});
  ASSERT_TRUE(runtime.Start());
  std::string answer;
  const double spent = SecondsOf([&] { answer = Call(runtime.port(), "startmacroidx", {15}, 5); });
  EXPECT_EQ("FAILED", answer);
  EXPECT_LT(spent, 4);
  // Keep-open off: the client does not send the request a second time.
  EXPECT_EQ((std::vector<std::string>{"startmacroidx\t15"}), runtime.Calls());
}

TEST(TrialRuntime, EndCommandAnswersThenEnds) {
  TrialRuntime runtime(kProject);
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ("i:1", Call(runtime.port(), "comablaufkern", {110}));
  for (int i = 0; i < 200 && runtime.Running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(runtime.Running());
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(TrialRuntime, ListensWhereTheControlFileSaysAndExitsCleanly) {
  const std::string dir = testsupport::MakeTempDir();
  const int port = FreePort();
  testsupport::WriteFile(dir + "/CTLKRN.CFG", "X\nI127.0.0.1\nP1\nP" + std::to_string(port) + "\n");
  testsupport::WriteFile(dir + "/project.txt", kProject);
  auto run = std::async(std::launch::async, [&] {
    return testsupport::RunProgram(testsupport::TrialRuntimeBinary(),
                                   {"--project", dir + "/project.txt", "--ctl", dir + "/CTLKRN.CFG"},
                                   {}, "", 20);
  });
  std::string answer = "FAILED";
  for (int i = 0; i < 500 && answer == "FAILED"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    answer = Call(port, "comablaufkern", {110}, 1);
  }
  EXPECT_EQ("i:1", answer);
  const testsupport::ProcResult result = run.get();
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.out + result.err);  // neither we nor the library print anything
}

TEST(TrialRuntime, RefusesBadCommandLinesAndProjects) {
  const std::string dir = testsupport::MakeTempDir();
  testsupport::WriteFile(dir + "/bad.txt", "VAR 1 A N 1\n\nVAR x B N 2\n");
  testsupport::WriteFile(dir + "/twice.txt", "VAR 1 A N 1\nVAR 1 B N 2\n");
  const std::string binary = testsupport::TrialRuntimeBinary();
  auto result = testsupport::RunProgram(binary, {"--project", dir + "/bad.txt"}, {}, "", 10);
  EXPECT_EQ(2, result.status);
  EXPECT_NE(std::string::npos, result.err.find("line 3")) << result.err;
  EXPECT_EQ(2, testsupport::RunProgram(binary, {"--project", dir + "/twice.txt"}, {}, "", 10).status);
  EXPECT_EQ(2, testsupport::RunProgram(binary, {"--bogus"}, {}, "", 10).status);
  EXPECT_EQ(2, testsupport::RunProgram(binary, {"--project", dir + "/bad.txt", "--ablkrn", "x"},
                                       {}, "", 10).status);
}

long ModificationTime(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_mtime) : -1;
}

TEST(TrialRuntime, ReloadsTheProjectOnHangupAndTouchesTheAfFile) {
  const std::string dir = testsupport::MakeTempDir();
  const std::string ablkrn = dir + "/ABLKRN.CFG", af = dir + "/project.af";
  TrialRuntime runtime(kProject, testsupport::AblkrnOptions(ablkrn, af));
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ("AF=" + af + "\n", testsupport::ReadFile(ablkrn));
  ASSERT_TRUE(testsupport::FileExists(af));
  ASSERT_TRUE(testsupport::SetFileTime(af, 1000000000));

  ASSERT_TRUE(runtime.ChangeProject("VAR 40 TEMP N 3\nMACRO 2 ALLESAUS\n"));
  EXPECT_GT(ModificationTime(af), 1000000000);
  EXPECT_EQ("i:40", Call(runtime.port(), "getvaridx", {"TEMP"}));
  EXPECT_EQ("i:2", Call(runtime.port(), "getobjidx", {"ALLESAUS"}));
  EXPECT_EQ("i:-1", Call(runtime.port(), "getvaridx", {"LICHT"}));

  // A project that does not parse leaves the old one in force.
  ASSERT_TRUE(runtime.ChangeProject("VAR 40\n"));
  EXPECT_EQ("i:40", Call(runtime.port(), "getvaridx", {"TEMP"}));
}

}  // namespace

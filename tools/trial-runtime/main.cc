// main.cc: the trial runtime, a stand-in for the automation runtime in tests,
// the demo and for site authors (see README.md): reads the command line and
// the project, writes the runtime configuration file when asked, listens, and
// handles SIGHUP (reload) and SIGTERM (end). Tested by tests/trial_runtime_test.cc.
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "listener.h"
#include "project.h"

namespace {

constexpr char kDefaultHost[] = "127.0.0.1";
constexpr int kDefaultPort = 2110;
constexpr double kPollSeconds = 0.1;

volatile std::sig_atomic_t stop_signal = 0;
volatile std::sig_atomic_t reload_signal = 0;

void OnStop(int) { stop_signal = 1; }
void OnReload(int) { reload_signal = 1; }

struct CommandLine {
  std::string project, ctl, host, port_file, log, ablkrn, af;
  int port = -1;  // -1: from the control file, else the default
  TrialBehaviour behaviour;
};

const char kUsage[] =
    "usage: trial-runtime --project FILE [--ctl FILE] [--host H] [--port N]\n"
    "         [--port-file FILE] [--log FILE] [--ablkrn FILE --af FILE]\n"
    "         [--fault METHOD|all]... [--delay SECONDS] [--hang] [--drop] [--close]\n"
    "         [--wrong-types] [--refuse-writes] [--drop-after N] [--no-multicall]\n"
    "         [--multicall-shape short|long|flat|odd-types|scalar]\n"
    "         [--nested DEPTH] [--huge-string]\n";

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "trial-runtime: " << message << "\n";
  std::exit(2);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *bytes = text.str();
  return true;
}

int ParsePort(const std::string& text) {
  int port = 0;
  if (!ParseIndex(text, &port) || port > 65535) Fail("bad port \"" + text + "\"");
  return port;
}

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail(option + " needs a value\n" + kUsage);
      return argv[++i];
    };
    if (option == "--project") line.project = value();
    else if (option == "--ctl") line.ctl = value();
    else if (option == "--host") line.host = value();
    else if (option == "--port") line.port = ParsePort(value());
    else if (option == "--port-file") line.port_file = value();
    else if (option == "--log") line.log = value();
    else if (option == "--ablkrn") line.ablkrn = value();
    else if (option == "--af") line.af = value();
    else if (option == "--fault") line.behaviour.faults.insert(value());
    else if (option == "--delay") {
      const std::string text = value();
      char* end = nullptr;
      line.behaviour.delay_s = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || line.behaviour.delay_s < 0)
        Fail("bad delay \"" + text + "\"");
    }
    else if (option == "--hang") line.behaviour.hang = true;
    else if (option == "--drop") line.behaviour.drop = true;
    else if (option == "--wrong-types") line.behaviour.wrong_types = true;
    else if (option == "--refuse-writes") line.behaviour.refuse_writes = true;
    else if (option == "--close") line.behaviour.close = true;
    else if (option == "--drop-after") {
      const std::string text = value();
      if (!ParseIndex(text, &line.behaviour.drop_after)) Fail("bad count \"" + text + "\"");
    }
    else if (option == "--no-multicall") line.behaviour.no_multicall = true;
    else if (option == "--multicall-shape") {
      line.behaviour.multicall_shape = value();
      const std::string& shape = line.behaviour.multicall_shape;
      if (shape != "short" && shape != "long" && shape != "flat" && shape != "odd-types" &&
          shape != "scalar")
        Fail("bad multicall shape \"" + shape + "\"");
    }
    else if (option == "--nested") {
      const std::string text = value();
      if (!ParseIndex(text, &line.behaviour.nested) || line.behaviour.nested < 1)
        Fail("bad depth \"" + text + "\"");
    }
    else if (option == "--huge-string") line.behaviour.huge_string = true;
    else Fail("unknown option " + option + "\n" + kUsage);
  }
  if (line.project.empty()) Fail(std::string("--project is required\n") + kUsage);
  if (line.ablkrn.empty() != line.af.empty()) Fail("--ablkrn and --af go together");
  return line;
}

// Host and port from a control file: the last line beginning "I" names the
// host, the last beginning "P" the port.
void ReadControlFile(const std::string& path, std::string* host, int* port) {
  std::string text;
  if (!ReadWholeFile(path, &text)) Fail("cannot read " + path);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == 'I') *host = line.substr(1);
    if (line[0] == 'P') *port = ParsePort(line.substr(1));
  }
}

bool LoadProject(const std::string& path, TrialProject* project, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *error = "cannot read " + path;
    return false;
  }
  if (!ParseProject(text, project, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

// Written under a temporary name and renamed, so a reader never sees half of it.
bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".tmp";
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  return out && std::rename(temp.c_str(), path.c_str()) == 0;
}

// Creates the AF file when missing and sets its modification time to now.
void TouchAfFile(const std::string& path) {
  std::ofstream(path, std::ios::binary | std::ios::app).close();
  utime(path.c_str(), nullptr);
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void InstallSignals() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = OnStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  action.sa_handler = OnReload;
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a client that goes away must not end the runtime
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = ParseCommandLine(argc, argv);
  std::string host = kDefaultHost;
  int port = kDefaultPort;
  if (!line.ctl.empty()) ReadControlFile(line.ctl, &host, &port);
  if (!line.host.empty()) host = line.host;
  if (line.port >= 0) port = line.port;
  if (host.empty()) host = kDefaultHost;

  TrialProject project;
  std::string error;
  if (!LoadProject(line.project, &project, &error)) Fail(error);

  std::FILE* log = nullptr;
  if (!line.log.empty()) {
    log = std::fopen(line.log.c_str(), "ab");
    if (log == nullptr) Fail("cannot open log " + line.log);
  }
  if (!line.ablkrn.empty()) {
    if (!WriteFileAtomically(line.ablkrn, "AF=" + line.af + "\n")) Fail("cannot write " + line.ablkrn);
    TouchAfFile(line.af);
  }

  InstallSignals();
  SilenceXmlRpcLibrary();
  TrialListener listener(&project, line.behaviour, log, &stop_signal);
  if (!listener.Listen(host, port, &error)) Fail(error);
  const std::string port_text = std::to_string(listener.Port()) + "\n";
  if (!line.port_file.empty() && !WriteFileAtomically(line.port_file, port_text))
    Fail("cannot write " + line.port_file);

  while (!stop_signal && !listener.EndRequested()) {
    listener.work(kPollSeconds);
    ApplyDrifts(project, SteadySeconds());
    if (reload_signal) {
      reload_signal = 0;
      if (!LoadProject(line.project, &project, &error)) {
        std::cerr << "trial-runtime: " << error << " (keeping the old project)\n";
      } else if (!line.af.empty()) {
        TouchAfFile(line.af);
      }
      // The port file, written again, tells a waiting test that the reload is done.
      if (!line.port_file.empty()) WriteFileAtomically(line.port_file, port_text);
    }
  }
  if (listener.EndRequested()) listener.work(kPollSeconds);  // let the last answer go out
  listener.shutdown();
  if (log != nullptr) std::fclose(log);
  return 0;
}

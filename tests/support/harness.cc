// harness.cc: the shared test support (see harness.h): programs run through
// fork and exec with pipes and a bounded wait, CGI requests, the trial runtime
// as a child process, and the test build's fixed directories.
#include "harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/paths.h"

namespace testsupport {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kStartTimeoutSeconds = 15;
constexpr double kStopTimeoutSeconds = 10;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Waits up to timeout_s for pid to end; false when it is still running.
bool WaitFor(int pid, double timeout_s, int* wait_status) {
  const auto start = Clock::now();
  for (;;) {
    const int got = waitpid(pid, wait_status, WNOHANG);
    if (got == pid || (got < 0 && errno != EINTR)) return true;
    if (SecondsSince(start) >= timeout_s) return false;
    Pause(5);
  }
}

// Ends pid with SIGTERM, or SIGKILL when it is still there after the bound.
void EndChild(int pid, int first_signal) {
  int wait_status = 0;
  kill(pid, first_signal);
  if (first_signal != SIGKILL && !WaitFor(pid, kStopTimeoutSeconds, &wait_status)) {
    kill(pid, SIGKILL);
  }
  WaitFor(pid, kStopTimeoutSeconds, &wait_status);
}

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  return pointers;
}

bool PortAccepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

}  // namespace

// --- Running programs ---------------------------------------------------------

ProcResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, const std::string& input,
                      double timeout_s) {
  ProcResult result;
  std::vector<std::string> argv_texts{program};
  argv_texts.insert(argv_texts.end(), args.begin(), args.end());
  std::map<std::string, std::string> full_env = env;
  if (full_env.count("PATH") == 0) {
    const char* path = std::getenv("PATH");
    full_env["PATH"] = path != nullptr ? path : "/usr/bin:/bin";
  }
  std::vector<std::string> env_texts;
  for (const auto& entry : full_env) env_texts.push_back(entry.first + "=" + entry.second);
  // Prepared before fork: the child only calls async-signal-safe functions.
  std::vector<char*> child_argv = CStrings(argv_texts);
  std::vector<char*> child_env = CStrings(env_texts);

  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    signal(SIGPIPE, SIG_DFL);
    execve(program.c_str(), child_argv.data(), child_env.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  // The test must not die of SIGPIPE when the child does not read its input.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);

  int to_child = in_pipe[1];
  fcntl(to_child, F_SETFL, O_NONBLOCK);
  size_t written = 0;
  if (input.empty()) {
    close(to_child);
    to_child = -1;
  }
  int from_out = out_pipe[0], from_err = err_pipe[0];
  const auto start = Clock::now();
  while (from_out >= 0 || from_err >= 0) {
    const double left = timeout_s - SecondsSince(start);
    if (left <= 0) {
      result.timed_out = true;
      break;
    }
    pollfd fds[3];
    int count = 0;
    if (from_out >= 0) fds[count++] = {from_out, POLLIN, 0};
    if (from_err >= 0) fds[count++] = {from_err, POLLIN, 0};
    if (to_child >= 0) fds[count++] = {to_child, POLLOUT, 0};
    const int ready = poll(fds, count, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == to_child) {
        const ssize_t n = write(to_child, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
        if (written == input.size()) {
          close(to_child);
          to_child = -1;
        }
        continue;
      }
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (fds[i].fd == from_out ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        close(fds[i].fd);
        (fds[i].fd == from_out ? from_out : from_err) = -1;
      }
    }
  }
  for (int fd : {to_child, from_out, from_err}) {
    if (fd >= 0) close(fd);
  }
  int wait_status = 0;
  if (result.timed_out || !WaitFor(pid, std::max(0.0, timeout_s - SecondsSince(start)),
                                   &wait_status)) {
    result.timed_out = true;
    kill(pid, SIGKILL);
    WaitFor(pid, kStopTimeoutSeconds, &wait_status);
  }
  sigaction(SIGPIPE, &previous, nullptr);
  if (!result.timed_out && WIFEXITED(wait_status)) {
    result.status = WEXITSTATUS(wait_status);
  } else if (WIFSIGNALED(wait_status)) {
    result.signal = WTERMSIG(wait_status);
  }
  return result;
}

std::string ServerBinary() {
#ifdef TELVARINSERVER_BIN
  return TELVARINSERVER_BIN;
#else
  return "";
#endif
}

std::string InterfaceBinary() {
#ifdef TELVARININTERFACE_BIN
  return TELVARININTERFACE_BIN;
#else
  return "";
#endif
}

std::string SheetmakerBinary() {
#ifdef SHEETMAKER_BIN
  return SHEETMAKER_BIN;
#else
  return "";
#endif
}

std::string SiteCheckBinary() {
#ifdef SITECHECK_BIN
  return SITECHECK_BIN;
#else
  return "";
#endif
}

std::string PlaceSiteBinary() {
#ifdef PLACESITE_BIN
  return PLACESITE_BIN;
#else
  return "";
#endif
}

std::string TrialRuntimeBinary() {
#ifdef TRIAL_RUNTIME_BIN
  return TRIAL_RUNTIME_BIN;
#else
  return "";
#endif
}

// --- CGI requests ---------------------------------------------------------------

namespace {

std::map<std::string, std::string> CgiEnvironment(
    const std::string& method, const std::string& addr,
    const std::map<std::string, std::string>& extra_env) {
  std::map<std::string, std::string> env{
      {"GATEWAY_INTERFACE", "CGI/1.1"}, {"REQUEST_METHOD", method},
      {"REMOTE_ADDR", addr},            {"SERVER_PROTOCOL", "HTTP/1.1"},
  };
  for (const auto& entry : extra_env) env[entry.first] = entry.second;
  return env;
}

}  // namespace

ProcResult CgiGet(const std::string& program, const std::string& query, const std::string& addr,
                  const std::map<std::string, std::string>& extra_env) {
  std::map<std::string, std::string> env = CgiEnvironment("GET", addr, {});
  env["QUERY_STRING"] = query;
  for (const auto& entry : extra_env) env[entry.first] = entry.second;
  return RunProgram(program, {}, env);
}

ProcResult CgiPost(const std::string& program, const std::string& body, const std::string& addr,
                   const std::map<std::string, std::string>& extra_env) {
  std::map<std::string, std::string> env = CgiEnvironment("POST", addr, {});
  env["QUERY_STRING"] = "";
  env["CONTENT_LENGTH"] = std::to_string(body.size());
  env["CONTENT_TYPE"] = "application/x-www-form-urlencoded";
  for (const auto& entry : extra_env) env[entry.first] = entry.second;
  return RunProgram(program, {}, env, body);
}

// --- Fixed directories and files --------------------------------------------------

std::string SiteDir() { return kSiteDir; }
std::string RuntimeDir() { return kRuntimeDir; }

void ResetFixedDirs() {
  const std::string site = SiteDir(), runtime = RuntimeDir();
  if (kIsRealBox) {
    ADD_FAILURE() << "the fixed directories are the real box's folders; not touching them";
    return;
  }
  for (const std::string& dir : {site, runtime}) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir, ignored);
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string MakeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/telvarin.XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary directory";
    return "";
  }
  return pattern;
}

bool SetFileTime(const std::string& path, long seconds) {
  timeval times[2] = {{seconds, 0}, {seconds, 0}};
  return utimes(path.c_str(), times) == 0;
}

std::vector<std::string> AblkrnOptions(const std::string& ablkrn_path, const std::string& af_path) {
  return {"--ablkrn", ablkrn_path, "--af", af_path};
}

// --- The trial runtime ---------------------------------------------------------------

TrialRuntime::TrialRuntime(const std::string& project, const std::vector<std::string>& options)
    : project_(project), options_(options), dir_(MakeTempDir()) {}

TrialRuntime::~TrialRuntime() {
  Stop();
  if (!dir_.empty()) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
}

bool TrialRuntime::Start(const std::string& ctl_path) {
  Stop();
  const std::string binary = TrialRuntimeBinary();
  if (dir_.empty() || binary.empty()) return false;
  WriteFile(dir_ + "/project.txt", project_);
  const std::string port_file = dir_ + "/port";
  std::remove(port_file.c_str());

  std::vector<std::string> args{binary,        "--project", dir_ + "/project.txt",
                                "--host",      "127.0.0.1", "--port",
                                "0",           "--port-file", port_file,
                                "--log",       dir_ + "/calls.log"};
  args.insert(args.end(), options_.begin(), options_.end());
  std::vector<char*> child_argv = CStrings(args);
  const std::string err_path = dir_ + "/stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(err_fd >= 0 ? err_fd : null_fd, 2);
    execv(binary.c_str(), child_argv.data());
    _exit(127);
  }
  if (pid < 0) return false;
  pid_ = pid;

  const auto start = Clock::now();
  port_ = 0;
  while (SecondsSince(start) < kStartTimeoutSeconds) {
    if (!Running()) break;
    const std::string text = ReadFile(port_file);
    if (!text.empty() && text.back() == '\n') {
      port_ = std::atoi(text.c_str());
      if (port_ > 0 && PortAccepts(port_)) break;
    }
    Pause(10);
  }
  if (port_ <= 0 || !Running() || !PortAccepts(port_)) {
    ADD_FAILURE() << "trial runtime did not start: " << ReadFile(err_path);
    Kill();
    return false;
  }
  // The connection of the check above reaches the runtime with no request; it
  // is not a call and leaves no log line.
  if (!ctl_path.empty()) WriteFile(ctl_path, "I127.0.0.1\nP" + std::to_string(port_) + "\n");
  return true;
}

void TrialRuntime::Stop() {
  if (pid_ > 0) EndChild(pid_, SIGTERM);
  pid_ = -1;
}

void TrialRuntime::Kill() {
  if (pid_ > 0) EndChild(pid_, SIGKILL);
  pid_ = -1;
}

bool TrialRuntime::Running() const {
  if (pid_ <= 0) return false;
  siginfo_t info{};
  // WNOWAIT: look without reaping, so that Stop() still collects it.
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    return false;
  return info.si_pid == 0;
}

int TrialRuntime::port() const { return port_; }

std::string TrialRuntime::Url() const { return "xmlrpc://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> TrialRuntime::Calls() const {
  std::vector<std::string> lines;
  std::istringstream log(ReadFile(dir_ + "/calls.log"));
  std::string line;
  while (std::getline(log, line)) lines.push_back(line);
  return lines;
}

void TrialRuntime::ClearCalls() {
  // The runtime appends to its log, so it goes on writing at the new end.
  if (!dir_.empty()) truncate((dir_ + "/calls.log").c_str(), 0);
}

bool TrialRuntime::ChangeProject(const std::string& project) {
  project_ = project;
  if (!Running()) return false;
  WriteFile(dir_ + "/project.txt", project_);
  const std::string port_file = dir_ + "/port";
  std::remove(port_file.c_str());
  kill(pid_, SIGHUP);
  // The runtime writes its port file again once it has read the project.
  const auto start = Clock::now();
  while (SecondsSince(start) < kStartTimeoutSeconds) {
    if (FileExists(port_file)) return true;
    if (!Running()) break;
    Pause(10);
  }
  ADD_FAILURE() << "trial runtime did not reload its project";
  return false;
}

std::string TrialRuntime::Dir() const { return dir_; }

}  // namespace testsupport

// harness.h: what the tests share: running a program (as a CGI program or a
// command) with a chosen environment and standard input, the trial runtime as a
// child process, the compiled-in fixed directories of the test build, and small
// file helpers. Used by the program tests in tests/ and by the unit tests that
// need a runtime (common/runtime_test.cc).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ProcResult {
  int status = -1;         // exit status; -1 when killed by a signal or timed out
  int signal = 0;          // the signal that ended it, if any
  bool timed_out = false;  // killed by the harness after the timeout
  std::string out;         // standard output, bytes
  std::string err;         // standard error, bytes
};

// Runs program with args; its environment is exactly env (PATH is added from the
// test's own when env has none). input is written to its standard input, which
// is then closed. Waits at most timeout_s seconds, then kills it.
ProcResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env,
                      const std::string& input = "", double timeout_s = 60);

// Paths of the built programs (set by the build).
std::string ServerBinary();     // TelvarinServer
std::string InterfaceBinary();  // TelvarinInterface
std::string SheetmakerBinary(); // Sheetmaker
std::string SiteCheckBinary();  // SiteCheck
std::string PlaceSiteBinary();  // PlaceSite
std::string TrialRuntimeBinary();

// A CGI request to TelvarinServer or TelvarinInterface: GET puts query into
// QUERY_STRING; POST sends body with CONTENT_LENGTH. REMOTE_ADDR is addr.
ProcResult CgiGet(const std::string& program, const std::string& query,
                  const std::string& addr = "127.0.0.1",
                  const std::map<std::string, std::string>& extra_env = {});
ProcResult CgiPost(const std::string& program, const std::string& body,
                   const std::string& addr = "127.0.0.1",
                   const std::map<std::string, std::string>& extra_env = {});

// The test build's fixed directories (kSiteDir, kRuntimeDir), with their final "/".
std::string SiteDir();
std::string RuntimeDir();
// Empties both fixed directories and creates them again. Fails the test (and
// touches nothing) when they are the real box's folders.
void ResetFixedDirs();

std::string ReadFile(const std::string& path);   // the bytes, or "" when unreadable
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
std::vector<std::string> ListDir(const std::string& dir);  // names, sorted
// A new empty directory under the system's temporary folder.
std::string MakeTempDir();
// Sets a file's access and modification time (seconds since 1970); false on failure.
bool SetFileTime(const std::string& path, long seconds);
// The trial runtime's options for writing a runtime configuration file at
// ablkrn_path whose "AF=" line names af_path (touched at start and on each
// project change), e.g. AblkrnOptions(RuntimeDir() + "ABLKRN.CFG", dir + "/p.af").
std::vector<std::string> AblkrnOptions(const std::string& ablkrn_path,
                                       const std::string& af_path);

// The trial runtime as a child process on 127.0.0.1 and a free port.
class TrialRuntime {
 public:
  // project: the text of a project file (see tools/trial-runtime/README.md).
  // options: further command-line options (e.g. "--refuse-writes", "--hang").
  explicit TrialRuntime(const std::string& project,
                        const std::vector<std::string>& options = {});
  ~TrialRuntime();  // stops it

  // Starts it and waits until it answers. When ctl_path is not empty, a control
  // file naming its address is written there (e.g. RuntimeDir() + "CTLKRN.CFG").
  bool Start(const std::string& ctl_path = "");
  void Stop();                    // SIGTERM, wait
  void Kill();                    // SIGKILL at once, wait
  bool Running() const;
  int port() const;
  std::string Url() const;        // "xmlrpc://127.0.0.1:<port>"

  // The calls received so far, one line each: the method, then each parameter
  // after a tab (ints in decimal, strings as their bytes).
  std::vector<std::string> Calls() const;
  void ClearCalls();

  // Rewrites the project file and sends SIGHUP; returns once the runtime has
  // read it again (and touched its AF file, when it has one). A project that
  // does not parse leaves the old one in force.
  bool ChangeProject(const std::string& project);
  // Its temp folder (project.txt, calls.log, port, stderr); a place for an AF file.
  std::string Dir() const;

 private:
  std::string project_;
  std::vector<std::string> options_;
  std::string dir_;   // its temp folder: project file, log, port file
  int pid_ = -1;
  int port_ = 0;
};

}  // namespace testsupport

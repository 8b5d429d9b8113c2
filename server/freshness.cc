// freshness.cc: the freshness check and the compiler start (see freshness.h).
#include "server/freshness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/paths.h"
#include "common/config.h"
#include "common/names.h"
#include "server/request.h"

namespace {

constexpr char kCompilerName[] = "Sheetmaker";

}  // namespace

bool SiteNeedsCompile(const FileTime& site_time, const FileTime& af_time) {
  return site_time && af_time && *site_time < *af_time;
}

void StartCompiler(const std::string& program, const std::string& site_name) {
  if (!IsValidName(site_name)) return;
  fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) return;
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      dup2(null_fd, STDIN_FILENO);
      dup2(null_fd, STDERR_FILENO);
      if (null_fd > STDERR_FILENO) close(null_fd);
    }
    char* const argv[] = {const_cast<char*>(program.c_str()),
                          const_cast<char*>(site_name.c_str()), nullptr};
    execv(program.c_str(), argv);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void CompileSiteWhenOutOfDate(const FileTime& site_time, const FileTime& af_time) {
  if (SiteNeedsCompile(site_time, af_time))
    StartCompiler(std::string(kSiteDir) + kCompilerName, Request.SiteName);
}

// runprogram.cc: a child program started with posix_spawnp and waited for (see
// runprogram.h).
#include "common/runprogram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace {

void Redirect(posix_spawn_file_actions_t* actions, int fd, ChildStream where) {
  if (where == ChildStream::kDevNull)
    posix_spawn_file_actions_addopen(actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
}

}  // namespace

int RunProgramAndWait(const std::vector<std::string>& argv, const ChildStreams& streams) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  Redirect(&actions, 0, streams.in);
  Redirect(&actions, 1, streams.out);
  Redirect(&actions, 2, streams.err);
  fflush(stdout);
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// rewrite.cc: whole-file replacement through a temporary file (see rewrite.h).
#include "interface/rewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Writes all bytes, going on after short writes and interrupted calls.
bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool RewriteFile(const std::string& path, const std::string& bytes) {
  // The process id keeps two simultaneous rewrites apart.
  const std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return false;
  bool written = WriteAll(fd, bytes);
  if (written && fsync(fd) != 0) written = false;
  if (close(fd) != 0) written = false;
  if (!written || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

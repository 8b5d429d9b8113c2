// files.cc: reading the site files, and the site's lock (see files.h).
#include "sheetmaker/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/linereader.h"

namespace {
constexpr mode_t kLockFileMode = 0644;
}  // namespace

bool ReadRawLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string text;
  bool ended_lf;
  // A last line without LF is kept too: a rewrite must not lose it.
  while (ReadLine(file, &text, &ended_lf)) lines->push_back(text);
  fclose(file);
  return true;
}

std::string DropCarriageReturn(const std::string& line) {
  if (!line.empty() && line.back() == '\r') return line.substr(0, line.size() - 1);
  return line;
}

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.inode = static_cast<unsigned long long>(st.st_ino);
  stamp.mtime_sec = static_cast<long long>(st.st_mtim.tv_sec);
  stamp.mtime_nsec = static_cast<long long>(st.st_mtim.tv_nsec);
  stamp.size = static_cast<long long>(st.st_size);
  return stamp;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
  return a.exists == b.exists && a.inode == b.inode && a.mtime_sec == b.mtime_sec &&
         a.mtime_nsec == b.mtime_nsec && a.size == b.size;
}

int LockExclusive(const std::string& lock_path, bool* waited) {
  if (waited) *waited = false;
  const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kLockFileMode);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  if (errno != EWOULDBLOCK && errno != EINTR) {
    close(fd);
    return -1;
  }
  if (waited) *waited = true;
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

bool WriteNoRuntimeRecord(const std::string& path, long long now) {
  return ReplaceFileContent(path, std::to_string(now) + "\n");
}

bool NoRuntimeRecordIsRecent(const std::string& path, long long now, long long window) {
  std::vector<std::string> lines;
  if (!ReadRawLines(path, &lines) || lines.empty()) return false;
  const std::string& text = lines[0];
  if (text.empty() || text.size() > 18) return false;
  long long when = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    when = when * 10 + (c - '0');
  }
  return when <= now && now - when < window;
}

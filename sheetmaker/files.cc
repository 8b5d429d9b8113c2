// files.cc: reading the site files, and the site's lock (see files.h).
#include "sheetmaker/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {
constexpr mode_t kLockFileMode = 0644;
}  // namespace

bool ReadRawLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  // The whole file in blocks, then cut at each LF: a byte at a time cost the
  // compiler more than its own work on a 1000-row site.
  std::string text;
  char block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof block, file)) > 0) text.append(block, n);
  fclose(file);
  size_t start = 0;
  for (size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
    lines->push_back(text.substr(start, lf - start));
  // A last line without LF is kept: a rewrite must not lose it.
  if (start < text.size()) lines->push_back(text.substr(start));
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

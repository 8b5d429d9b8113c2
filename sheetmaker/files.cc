// files.cc: reading and rewriting the site files, and the site's lock (see
// files.h). The only place where the compiler writes a file.
#include "sheetmaker/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr char kTempSuffix[] = "_$";
constexpr mode_t kNewFileMode = 0644;

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Makes the rename itself durable; best effort, the rewrite has happened anyway.
void SyncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

std::string TempPathOf(const std::string& path) { return path + kTempSuffix; }

bool ReplaceFileContent(const std::string& path, const std::string& content) {
  const std::string temp = TempPathOf(path);
  struct stat old_file;
  const bool had_file = stat(path.c_str(), &old_file) == 0;
  // A leftover of an earlier run is never data: the real file is only ever
  // replaced by a complete, synced temporary file.
  unlink(temp.c_str());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content);
  if (ok && had_file) fchmod(fd, old_file.st_mode & 07777);  // best effort
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) {
    SyncDirectoryOf(path);
    return true;
  }
  unlink(temp.c_str());
  return false;
}

bool ReadRawLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string line;
  bool open_line = false;
  int c;
  while ((c = fgetc(file)) != EOF) {
    if (c == '\n') {
      lines->push_back(line);
      line.clear();
      open_line = false;
    } else {
      line.push_back(static_cast<char>(c));
      open_line = true;
    }
  }
  // A last line without LF is kept: a rewrite must not lose it.
  if (open_line) lines->push_back(line);
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

int LockExclusive(const std::string& lock_path) {
  const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

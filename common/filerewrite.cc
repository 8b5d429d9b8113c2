// filerewrite.cc: file creation with one mode, lock files, and whole-file
// replacement through a temporary file (see filerewrite.h).
#include "common/filerewrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr char kTempSuffix[] = "_$";

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

int OpenCreatingFile(const std::string& path, int flags) {
  return open(path.c_str(), flags | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
              static_cast<mode_t>(kCreatedFileMode));
}

int LockFileAt(const std::string& path, int how, bool* waited) {
  if (waited) *waited = false;
  const int fd = OpenCreatingFile(path, O_RDWR);
  if (fd < 0) return -1;
  int result = flock(fd, how | LOCK_NB);
  if (result != 0 && errno == EWOULDBLOCK && (how & LOCK_NB) == 0) {
    if (waited) *waited = true;
    while ((result = flock(fd, how)) != 0 && errno == EINTR) {
    }
  }
  if (result == 0) return fd;
  close(fd);
  return -1;
}

std::string TempPathOf(const std::string& path) { return path + kTempSuffix; }

bool FileHoldsExactly(const std::string& path, const std::string& content) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string text;
  char buffer[16384];
  size_t got;
  // Reads no further than one buffer past content's length: a longer file differs.
  while (text.size() <= content.size() && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    text.append(buffer, got);
  std::fclose(file);
  return text == content;
}

bool ReplaceFileContent(const std::string& path, const std::string& content,
                        const std::string& temp_path) {
  const std::string temp = temp_path.empty() ? TempPathOf(path) : temp_path;
  struct stat old_file;
  const bool had_file = stat(path.c_str(), &old_file) == 0;
  // A leftover of an earlier run is never data: the real file is only ever
  // replaced by a complete, synced temporary file.
  unlink(temp.c_str());
  const int fd = OpenCreatingFile(temp, O_WRONLY | O_EXCL);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content);
  if (ok && had_file) {  // best effort; the owner first, as a change of owner may clear mode bits
    if (fchown(fd, old_file.st_uid, old_file.st_gid) != 0) {
      // Not allowed to give it away: the writer's own file, which it could write anyway.
    }
    fchmod(fd, old_file.st_mode & 07777);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) {
    SyncDirectoryOf(path);
    return true;
  }
  unlink(temp.c_str());
  return false;
}


bool OverwriteFileInPlace(const std::string& path, const std::string& content) {
  const int fd = OpenCreatingFile(path, O_WRONLY);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content);  // from offset 0: the file was just opened
  ok = ok && ftruncate(fd, static_cast<off_t>(content.size())) == 0;
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  return ok;
}

namespace {

// Writes content to a new file at path with mode (and owner), synced.
bool WriteNewFile(const std::string& path, const PlacedFile& file, int uid, int gid) {
  const int fd = OpenCreatingFile(path, O_WRONLY | O_EXCL);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, file.content);
  if (uid >= 0) ok = ok && fchown(fd, static_cast<uid_t>(uid), static_cast<gid_t>(gid)) == 0;
  ok = ok && fchmod(fd, static_cast<mode_t>(file.mode)) == 0;
  if (file.mtime >= 0) {
    const struct timespec times[2] = {{file.mtime, 0}, {file.mtime, 0}};
    ok = ok && futimens(fd, times) == 0;
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  return ok;
}

}  // namespace

bool PlaceFiles(const std::vector<PlacedFile>& files, const std::string& stage_template,
                int owner_uid, int owner_gid) {
  std::vector<char> name(stage_template.begin(), stage_template.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return false;
  const std::string stage = std::string(name.data()) + "/";
  std::vector<std::string> staged;  // new content, "N" + position
  std::vector<std::string> kept;    // old file linked, "O" + position; empty: there was none
  bool ok = true;
  for (size_t i = 0; ok && i < files.size(); ++i) {
    staged.push_back(stage + "N" + std::to_string(i));
    ok = WriteNewFile(staged.back(), files[i], owner_uid, owner_gid);
  }
  size_t placed = 0;
  for (; ok && placed < files.size(); ++placed) {
    const std::string& path = files[placed].path;
    kept.push_back(stage + "O" + std::to_string(placed));
    if (link(path.c_str(), kept.back().c_str()) != 0) {
      if (errno != ENOENT) {
        kept.pop_back();
        ok = false;
        break;
      }
      kept.back().clear();
    }
    if (rename(staged[placed].c_str(), path.c_str()) != 0) {
      if (!kept.back().empty()) unlink(kept.back().c_str());
      kept.pop_back();
      ok = false;
      break;
    }
  }
  if (!ok) {
    // Back to the old files, last placed first.
    for (size_t i = kept.size(); i-- > 0;) {
      if (kept[i].empty()) {
        unlink(files[i].path.c_str());
      } else {
        rename(kept[i].c_str(), files[i].path.c_str());
      }
    }
  }
  for (const std::string& path : staged) unlink(path.c_str());
  for (const std::string& path : kept)
    if (!path.empty()) unlink(path.c_str());
  rmdir(stage.c_str());
  if (!files.empty()) SyncDirectoryOf(files.back().path);
  return ok;
}

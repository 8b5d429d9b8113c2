// filestamp.cc: a file's stamp (see filestamp.h).
#include "common/filestamp.h"

#include <sys/stat.h>

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.dev = static_cast<unsigned long long>(st.st_dev);
  stamp.inode = static_cast<unsigned long long>(st.st_ino);
  stamp.mtime_sec = static_cast<long long>(st.st_mtim.tv_sec);
  stamp.mtime_nsec = static_cast<long long>(st.st_mtim.tv_nsec);
  stamp.size = static_cast<long long>(st.st_size);
  return stamp;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
  return a.exists == b.exists && a.dev == b.dev && a.inode == b.inode && a.mtime_sec == b.mtime_sec &&
         a.mtime_nsec == b.mtime_nsec && a.size == b.size;
}

std::string StampText(const FileStamp& stamp) {
  if (!stamp.exists) return std::string();
  return std::to_string(stamp.inode) + "-" + std::to_string(stamp.mtime_sec) + "-" +
         std::to_string(stamp.mtime_nsec);
}

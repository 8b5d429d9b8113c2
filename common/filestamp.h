// filestamp.h: the identity of a file as it stands (device, inode,
// modification time to the nanosecond, and size): a rewrite by rename or any
// write changes it. The compiler uses it to see that another run has just
// compiled a site, and records the project file's stamp it compiled against;
// the page server writes the site definition file's stamp into every page form
// and refuses a form whose stamp is no longer the site's (the compile that
// renumbered the site renewed it). Tested by filestamp_test.cc.
#pragma once

#include <string>

// exists is false when the file cannot be examined; the other fields are then 0.
struct FileStamp {
  bool exists = false;
  unsigned long long dev = 0;
  unsigned long long inode = 0;
  long long mtime_sec = 0;
  long long mtime_nsec = 0;
  long long size = 0;
};
FileStamp StampOf(const std::string& path);
bool SameStamp(const FileStamp& a, const FileStamp& b);

// The stamp as text for a form: inode "-" seconds "-" nanoseconds in decimal
// (digits and "-" only, safe in an address and an attribute); the empty text
// when the file cannot be examined.
std::string StampText(const FileStamp& stamp);

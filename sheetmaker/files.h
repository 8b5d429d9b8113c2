// files.h: how the compiler reads site files (rewrites go through
// common/filerewrite.h), and the site's lock, which serialises overlapping runs
// for one site.
// Tested by compile_test.cc.
#pragma once

#include <string>
#include <vector>

#include "common/filerewrite.h"

// A text file's lines: each read up to LF, the LF taken off; a last line without
// LF is a line too. A trailing CR is left on (callers count it, then drop it).
// False when the file cannot be opened.
bool ReadRawLines(const std::string& path, std::vector<std::string>* lines);

// Takes one trailing CR off.
std::string DropCarriageReturn(const std::string& line);

// Identity of a file as it stands: a rewrite (rename over it) or any write
// changes it. exists is false when the file cannot be examined.
struct FileStamp {
  bool exists = false;
  unsigned long long inode = 0;
  long long mtime_sec = 0;
  long long mtime_nsec = 0;
  long long size = 0;
};
FileStamp StampOf(const std::string& path);
bool SameStamp(const FileStamp& a, const FileStamp& b);

// Takes the exclusive advisory lock (flock) on lock_path, creating the file when
// needed, and waits for it as long as another process holds it; *waited (when
// given) tells whether it had to. Returns the open descriptor (the lock lasts
// until it is closed or the process ends), or -1 when the file cannot be opened
// or locked. The file is never removed: removing it would let two runs hold
// locks on two different files.
int LockExclusive(const std::string& lock_path, bool* waited = nullptr);

// The record of a run that ended because it found no runtime: the time it
// ended, in seconds, as decimal text. Written under the site's lock.
bool WriteNoRuntimeRecord(const std::string& path, long long now);
// True when the record at path names a time less than window seconds before now
// (not after it: a clock set back makes the record old).
bool NoRuntimeRecordIsRecent(const std::string& path, long long now, long long window);

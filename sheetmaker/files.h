// files.h: how the compiler reads and rewrites site files. ReplaceFileContent is
// the one place where a file is rewritten: whole, under the temporary name, then
// renamed over the old file, so the data never lives only under the temporary
// name and a failed rewrite leaves the file as it was. Also the site's lock,
// which serialises overlapping runs for one site.
// Tested by compile_test.cc.
#pragma once

#include <string>
#include <vector>

// Temporary name of a file being rewritten: its path + "_$".
std::string TempPathOf(const std::string& path);

// Writes content to TempPathOf(path) (a leftover there is overwritten), syncs it,
// and renames it over path, keeping the old file's permission bits. On any
// failure the file at path is as it was and the temporary file is removed.
// Returns whether path now holds content.
bool ReplaceFileContent(const std::string& path, const std::string& content);

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
// needed, and waits for it as long as another process holds it. Returns the open
// descriptor (the lock lasts until it is closed or the process ends), or -1 when
// the file cannot be opened or locked. The file is never removed: removing it
// would let two runs hold locks on two different files.
int LockExclusive(const std::string& lock_path);

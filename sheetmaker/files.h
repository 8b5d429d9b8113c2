// files.h: how the compiler reads site files (rewrites go through
// common/filerewrite.h, and so does the site's lock, which serialises
// overlapping runs for one site: LockFileAt).
// Tested by compile_test.cc.
#pragma once

#include <string>
#include <vector>

#include "common/filerewrite.h"
#include "common/filestamp.h"

// A text file's lines: each read up to LF, the LF taken off; a last line without
// LF is a line too. A trailing CR is left on (callers count it, then drop it).
// False when the file cannot be opened.
bool ReadRawLines(const std::string& path, std::vector<std::string>* lines);

// Takes one trailing CR off.
std::string DropCarriageReturn(const std::string& line);

// The record of a run that ended because it found no runtime: the time it
// ended, in seconds, as decimal text. Written under the site's lock.
bool WriteNoRuntimeRecord(const std::string& path, long long now);
// True when the record at path names a time less than window seconds before now
// (not after it: a clock set back makes the record old).
bool NoRuntimeRecordIsRecent(const std::string& path, long long now, long long window);

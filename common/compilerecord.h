// compilerecord.h: which project file a site was last compiled against. The
// compiler writes, per site, a small record of its own in the site directory
// (never inside a site file): the path on the "AF=" line and that file's
// device, inode, size and modification time to the nanosecond. The page
// server compiles a site whose record differs from the project file as it
// stands now (another path, a replaced or restored file, a change within the
// same second) or is missing. Tested by tests/sheetmaker_e2e_test.cc (the
// real programs against the trial runtime).
#pragma once

#include <string>

// The record of the project file that the runtime configuration file at
// cfg_path names now: the path, a line end, then device, inode, size, seconds
// and nanoseconds in decimal, separated by blanks, and a line end. Empty when
// there is no project file (no configuration file, no "AF=" line, or the file
// cannot be examined).
std::string ProjectRecordText(const std::string& cfg_path);

// Whether the record at record_path holds exactly record_text.
bool CompileRecordIsCurrent(const std::string& record_path, const std::string& record_text);

// Writes record_text to record_path (through the one file rewrite: a new
// record is created with kCreatedFileMode, 0600).
bool WriteCompileRecord(const std::string& record_path, const std::string& record_text);

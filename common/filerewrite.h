// filerewrite.h: the one way any of the programs rewrites a file (the compiler's
// site and page files, the attempts file; the administration interface's
// access file in place, see OverwriteFileInPlace; a site placed whole, see
// PlaceFiles). The new
// content is written whole under a temporary name, synced, and renamed over the
// file, so the data never lives only under the temporary name, a reader at the
// same moment sees the old content or the new, and a failed rewrite leaves the
// file as it was. Tested by filerewrite_test.cc and sheetmaker/compile_test.cc.
#pragma once

#include <string>
#include <vector>

// The compiler's temporary name of a file being rewritten: its path + "_$".
std::string TempPathOf(const std::string& path);

// Writes content to temp_path (TempPathOf(path) when empty; a leftover there is
// never data and is replaced), syncs it and renames it over path, keeping the old
// file's permission bits. On any failure the file at path is as it was and the
// temporary file is removed. Two processes that may rewrite the same file at
// once must either hold a lock or pass temporary names of their own.
// Returns whether path now holds content.
bool ReplaceFileContent(const std::string& path, const std::string& content,
                        const std::string& temp_path = "");

// Whether the file at path holds exactly content (false when it cannot be
// read): a rewrite that would change nothing can be left out.
bool FileHoldsExactly(const std::string& path, const std::string& content);

// Writes content over the start of the file at path (created with new_mode
// when missing; an existing file keeps its owner and mode), then cuts what is
// left of the old content, and syncs. For a file whose directory the writer may
// not write (the access file in the runtime's folder), so no temporary file and
// no rename. The old bytes are never cut before the new ones are all written:
// a failure part way leaves the new bytes over the old ones, so a first line
// is never shorter than both the old and the new first line. Returns whether
// path now holds exactly content.
bool OverwriteFileInPlace(const std::string& path, const std::string& content, int new_mode);

// One file of a group placed together by PlaceFiles.
struct PlacedFile {
  std::string path;     // where it goes
  std::string content;  // all of it
  int mode = 0644;      // its permission bits
  long mtime = -1;      // its modification time in seconds; -1: the time of writing
};

// Places every file of the group, or none. Each content is written and synced
// under the new folder made from stage_template (a mkdtemp template ending in
// "XXXXXX", in the same file system as the paths: the site directory), with its
// mode and, when owner_uid is 0 or more, that owner; then each is renamed over
// its path while its old file, if any, stays linked in the folder. A failure at
// any point puts every old file back and removes the new ones that had none, so
// the paths hold all the old files or all the new; a reader never finds a path
// missing that was there. The folder is removed at the end. Returns whether all
// were placed.
bool PlaceFiles(const std::vector<PlacedFile>& files, const std::string& stage_template,
                int owner_uid = -1, int owner_gid = -1);

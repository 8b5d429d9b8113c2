// filerewrite.h: the one way any of the programs creates or rewrites a file.
// Every file a program creates (session files, records, lock files, the
// temporary file of a rewrite) is made by OpenCreatingFile, mode 0600: the
// site directory is the web server's user's alone, and the session ids are in
// the file names. A rewrite (the compiler's site and page files, the records;
// the administration interface's access file in place, see
// OverwriteFileInPlace; a site placed whole, see PlaceFiles) writes the new
// content whole under a temporary name, syncs it and renames it over the file,
// so the data never lives only under the temporary name, a reader at the same
// moment sees the old content or the new, a failed rewrite leaves the file as
// it was, and a rewritten file keeps its mode. Tested by filerewrite_test.cc, sheetmaker/compile_test.cc and the
// program runs of tests/faults_test.cc (the modes of what each run creates).
#pragma once

#include <string>
#include <vector>

// The mode of every file the programs create.
constexpr int kCreatedFileMode = 0600;

// Opens path with flags (O_RDWR or O_WRONLY, maybe O_EXCL, O_TRUNC),
// creating it with kCreatedFileMode when it is missing, and never through a
// symbolic link at path. Returns the descriptor (close-on-exec), or -1.
int OpenCreatingFile(const std::string& path, int flags);

// Opens path as OpenCreatingFile does and takes the advisory lock how on it
// (flock: LOCK_EX or LOCK_SH; with LOCK_NB it does not wait). *waited (when
// given) tells whether another process held it first. Returns the open
// descriptor (the lock lasts until it is closed or the process ends), or -1
// when the file cannot be opened or locked. Lock files are never removed:
// removing one would let two processes hold locks on two different files.
int LockFileAt(const std::string& path, int how, bool* waited = nullptr);

// The compiler's temporary name of a file being rewritten: its path + "_$".
std::string TempPathOf(const std::string& path);

// Writes content to temp_path (TempPathOf(path) when empty; a leftover there is
// never data and is replaced), syncs it and renames it over path, keeping the old
// file's permission bits (and its owner where the writer may set it, so a
// compile run by root by mistake leaves the files the web server's user's);
// a new file gets kCreatedFileMode. On any failure the file at path is as it was and the
// temporary file is removed. Two processes that may rewrite the same file at
// once must either hold a lock or pass temporary names of their own.
// Returns whether path now holds content.
bool ReplaceFileContent(const std::string& path, const std::string& content,
                        const std::string& temp_path = "");

// Whether the file at path holds exactly content (false when it cannot be
// read): a rewrite that would change nothing can be left out.
bool FileHoldsExactly(const std::string& path, const std::string& content);

// Writes content over the start of the file at path (created by
// OpenCreatingFile when missing; an existing file keeps its owner and mode), then cuts what is
// left of the old content, and syncs. For a file whose directory the writer may
// not write (the access file in the runtime's folder), so no temporary file and
// no rename. The old bytes are never cut before the new ones are all written:
// a failure part way leaves the new bytes over the old ones, so a first line
// is never shorter than both the old and the new first line. Returns whether
// path now holds exactly content.
bool OverwriteFileInPlace(const std::string& path, const std::string& content);

// One file of a group placed together by PlaceFiles.
struct PlacedFile {
  std::string path;             // where it goes
  std::string content;          // all of it
  int mode = kCreatedFileMode;  // its permission bits
  long mtime = -1;              // its modification time in seconds; -1: the time of writing
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

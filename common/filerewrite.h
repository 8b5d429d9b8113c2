// filerewrite.h: the one way any of the programs rewrites a file (the compiler's
// site and page files, the administration interface's access file). The new
// content is written whole under a temporary name, synced, and renamed over the
// file, so the data never lives only under the temporary name, a reader at the
// same moment sees the old content or the new, and a failed rewrite leaves the
// file as it was. Tested by filerewrite_test.cc and sheetmaker/compile_test.cc.
#pragma once

#include <string>

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

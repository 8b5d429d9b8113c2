// workfiles.h: the work-file command: a rename or another action on a file,
// carried out by the runtime, then a page that sends the browser on to the
// work-file list of the file's directory. The names go to the runtime only;
// this program opens no file by them. Tested by workfiles_test.cc and
// tests/interface_test.cc.
#pragma once

#include <string>

// Results of WorkFiles, read by CreateHTMLWorkFiles.
constexpr int kWorkFileFailed = 0;   // the "workfile" call failed
constexpr int kWorkFileDeleted = 1;  // an action other than "ren" was carried out
constexpr int kWorkFileRenamed = 2;  // "ren" was carried out

// Field 2 is the action, field 3 the file, field 4 (for "ren" only) the new
// name; in the names every "%20" becomes a blank, nothing else is decoded.
// Calls "workfile" and returns one of the results above.
int WorkFiles(const std::string& query);

// The directory part of a work-file field (undecoded): the text before the last
// "/" that is neither the first nor the last byte; empty when there is none. A
// field of fewer than two bytes is taken whole.
std::string WorkFileDir(const std::string& file);

// The work-file page: the action's message, then at once to
// "servmain.ccc?HTM=Workfiles.cls&path=" with the directory.
void CreateHTMLWorkFiles(int result, const std::string& directory);

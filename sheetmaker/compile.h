// compile.h: the site-file compiler. One run brings the page files of one site
// up to the runtime's current numbering (the index field of every "OBJROW=" and
// "MACRO=" line), then rewrites the site definition file, whose new modification
// time marks the site as compiled. Every file is rewritten whole under its
// temporary name and renamed over the old one, so a file is never lost or half
// written. Nothing is written to standard output or standard error.
// Tested by compile_test.cc (line rules, file rewrites) and
// tests/sheetmaker_test.cc (the real program against the trial runtime).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "sheetmaker/files.h"

constexpr char kSheetmakerVersion[] = "1.0 - 90602";

// Exit statuses of a run.
constexpr int kExitDone = 0;         // compiled, or another run compiled it meanwhile
constexpr int kExitBadSiteName = 2;  // missing site name, or one that fails IsValidName
constexpr int kExitNoSiteFile = 3;   // the site definition file cannot be opened
constexpr int kExitNoRuntime = 4;    // a lookup found no runtime (or, for a run that
                                     // waited for the lock, the run before it did
                                     // less than 30 s ago); the site stays due

// Results of UpdatePageFile and CopyFileLines.
constexpr int kFileDone = 0;
constexpr int kFileNotFound = 2;       // UpdatePageFile: the page file cannot be opened
constexpr int kFileNoSource = 4;       // CopyFileLines: the source cannot be opened
constexpr int kFileNotWritten = 4;     // UpdatePageFile: the new content could not be stored
constexpr int kFileNoTarget = 6;       // CopyFileLines: the target could not be written
constexpr int kFileRuntimeGone = 8;    // UpdatePageFile: no runtime; the file is as it was

// Line heads of the records that receive an index, and the fields they go to.
constexpr char kObjRowKey[] = "OBJROW=";
constexpr int kObjRowIndexField = 5;
constexpr char kMacroKey[] = "MACRO=";
constexpr int kMacroIndexField = 3;
constexpr char kSiteKey[] = "*Site=";
// The index written when the runtime does not know a name (or answers a fault):
// the name stays, the page shows the row as an invalid index, a later run repairs it.
constexpr char kUnknownIndex[] = "-1";

// Replaces field n (from 1) of line at sep by value. Field n begins after the
// (n-1)-th separator; when the line has fewer (the (n-1)-th being the line's last
// byte counts as fewer: an empty last field is not filled), the line is returned
// unchanged. The separator after the field and everything behind it stay.
std::string ReplaceField(const std::string& line, int n, const std::string& value, char sep);

// An index lookup: RuntimeGetVarIdx, RuntimeGetObjIdx, or a stand-in in tests.
using IndexLookup = std::function<int(const std::string& name, CallOutcome* outcome)>;

// One page-file line (line ends already taken off) with its index filled in:
// "OBJROW=" lines get the variable index in field 5, "MACRO=" lines the macro
// index in field 3; a negative index or a fault gives kUnknownIndex; every other
// line comes back unchanged. When a lookup finds no runtime, *runtime_gone is set
// and the result must not be used.
std::string CompilePageLine(const std::string& line, const IndexLookup& var_idx,
                            const IndexLookup& obj_idx, bool* runtime_gone);

// Rewrites one page file: lines shorter than two bytes (a lone CR counts as one)
// are dropped, line ends become a single LF, index fields are filled in; a file
// that already reads so is not written at all. Returns kFileDone, kFileNotFound
// (nothing created), kFileNotWritten or kFileRuntimeGone (in both the file is as
// it was).
int UpdatePageFile(const std::string& path, const IndexLookup& var_idx = RuntimeGetVarIdx,
                   const IndexLookup& obj_idx = RuntimeGetObjIdx);

// Writes the source's lines to target with single LF line ends, empty and
// one-byte lines kept; source and target may be the same file. Returns
// kFileDone, kFileNoSource or kFileNoTarget (target as it was).
int CopyFileLines(const std::string& source, const std::string& target);

// One run for the site named by args (the command-line arguments after the
// program name): name check, runtime address from the control file, the site's
// lock, the page files in the order of the "*Site=" lines, the site definition
// file last, its time raised to the AF file's when that is later (a project
// dated in the future is compiled once, not on every request), then the site's
// compile record (compilerecord.h). Returns the exit status.
int RunSheetmaker(const std::vector<std::string>& args);

// sitecheck.h: the site checker's run: it reads a site's definition file, every
// page file that the definition lists and the user file, writes nothing, and
// collects findings (findings.h): pages listed without a page file or twice,
// page files not listed, a start page that does not exist, keys the server does
// not read, widths that are not numbers; the page files' own rules are
// pagecheck.h's, the user file's and "FREEIPS"'s signoncheck.h's, the bytes'
// textcheck.h's. With name lookups (the runtime, or a trial-runtime project) it
// also warns of names the runtime does not know and of index fields that differ
// from the runtime's numbering.
// Tested by sitecheck_test.cc (one broken site per row) and tests/sitecheck_test.cc.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/runtime.h"

// A name's index as the runtime numbers it, as the compiler asks for it
// (RuntimeGetVarIdx, RuntimeGetObjIdx, or a project's names): the index, or a
// negative number with *outcome telling an unknown name from a missing runtime.
using NameLookup = std::function<int(const std::string& name, CallOutcome* outcome)>;

// What the runtime tells of a variable besides its index, where it tells it.
struct VarFacts {
  char kind = 0;       // 'S', 'N' or 'U'; 0: not told
  int writable = -1;   // 1 the web may write it, 0 it may not, -1 not told
};
using FactsLookup = std::function<VarFacts(const std::string& name)>;

struct CheckSettingsRec {
  std::string dir;            // the site directory, ending in "/" (the box's, or --dir)
  std::string site;           // the site name; passes IsValidName
  NameLookup var_idx;         // variables; empty: names are not checked
  NameLookup obj_idx;         // macros; empty: names are not checked
  FactsLookup var_facts;      // kinds and writability; empty: not checked
  bool runtime_gone = false;  // a lookup found no runtime: the names stay unchecked
  // Index fields that differ from the runtime's numbering: one compile mends them
  // all, so only the first gets a finding (its place in Findings.list), which
  // CheckSite completes with the number of the others.
  int stale_indices = 0;
  size_t first_stale_finding = 0;
};
extern CheckSettingsRec CheckSettings;  // set by main (or a test) before CheckSite

// Exit statuses of a check.
constexpr int kCheckClean = 0;       // no errors (warnings may be there)
constexpr int kCheckErrors = 1;      // at least one error
constexpr int kCheckUnreadable = 2;  // no site definition file, or no runtime

// Checks the site named by CheckSettings into Findings. Returns the exit status.
int CheckSite();

// Sets CheckSettings' lookups to the runtime at the box's control file address:
// indices as the compiler asks for them, and kinds where the runtime tells them
// ("getvarbyname" form 3 answering "index;NAME;kind;value"; it tells nothing of
// writability).
void UseRuntimeLookups();

// A file's lines, each without its LF; a last line without LF is a line too (the
// compiler keeps it), and *last_unended (when given) says whether there is one.
// False when the file cannot be read.
bool ReadCheckedLines(const std::string& path, std::vector<std::string>* lines,
                      bool* last_unended = nullptr);

// The whole file at path into *text (appended); false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text);

// The line as the site files' rules take it: false for a line of 0 or 1 bytes
// (a lone CR counts as one), else *text is the line without one trailing CR.
bool TakeLine(const std::string& raw, std::string* text);

// The page file name of a page of the site: SITE + "_" + page + ".SHT".
std::string PageFileName(const std::string& page);
// Whether page is a page name (IsValidName) whose page file is in the directory.
bool PageFileExists(const std::string& page);

// Whether text is a whole decimal number: an optional "-" and at least one digit,
// blanks around them allowed.
bool IsWholeNumber(const std::string& text);

// projectnames.h: the names of a trial-runtime project file, for checking a site
// without a controller: its "VAR <index> <NAME> <kind> ...", "MACRO <index>
// <NAME>" and "READONLY <NAME>" lines (blank-separated; "#" lines, blank lines
// and the other records are passed over). Names are found as the trial runtime finds them: without regard
// to the case of ASCII letters and of the umlauts. Tested by sitecheck_test.cc.
#pragma once

#include <map>
#include <string>

#include "common/runtime.h"
#include "sitecheck/sitecheck.h"

struct ProjectNamesRec {
  std::map<std::string, int> variables;  // upper-case name -> index
  std::map<std::string, int> macros;     // upper-case name -> index
  std::map<std::string, VarFacts> facts;  // upper-case name -> kind, writable by the web
};
extern ProjectNamesRec ProjectNames;  // filled by ReadProjectNames

// Parses a project file's text into ProjectNames. On a VAR or MACRO line without
// a decimal index and a name, returns false and sets *error to "line N: reason".
bool ParseProjectNames(const std::string& text, std::string* error);

// The lookups of the checker over ProjectNames: the index, or -1 (kOk) for a
// name the project does not have.
int ProjectVarIdx(const std::string& name, CallOutcome* outcome);
int ProjectObjIdx(const std::string& name, CallOutcome* outcome);
// The kind and writability of a project's variable (nothing told for another name).
VarFacts ProjectVarFacts(const std::string& name);

// project.h: the trial runtime's project: its variables (index, name, kind,
// value), its macros (index, name) and the names that refuse writes, read from a
// project file (see README.md). Names are kept in upper case and found case-
// insensitively (ASCII letters and the three umlauts); values are Latin-1 bytes.
#pragma once

#include <set>
#include <string>
#include <vector>

struct TrialVariable {
  int index = 0;
  std::string name;   // upper case
  char kind = 'N';    // 'N' number, 'S' text (answered in double quotes), 'U' selection
  std::string value;  // as stored, without quotes
};

struct TrialMacro {
  int index = 0;
  std::string name;   // upper case
};

// A number variable that changes by itself (a DRIFT record): every `seconds`
// its value moves by `step`, turning back at `min` and `max`.
struct TrialDrift {
  std::string name;        // upper case; a variable of kind N
  double step = 0;
  double min = 0;
  double max = 0;
  double seconds = 1;
  int decimals = 0;        // digits after the separator in the values written
  char separator = '.';    // ',' when the step or the range is written with one
  int direction = 1;       // +1 up, -1 down
  double next_at = -1;     // time of the next step; -1 until the first ApplyDrifts
};

struct TrialProject {
  std::vector<TrialVariable> variables;  // in the order of the project file
  std::vector<TrialMacro> macros;
  std::set<std::string> read_only;       // upper-case names
  std::vector<TrialDrift> drifts;
};

// Upper case of a name: ASCII letters and the umlauts "\xE4", "\xF6", "\xFC".
std::string UpperName(const std::string& name);

// Parses the text of a project file. On a bad line returns false and sets *error
// to "line N: reason"; *project is then left unchanged.
bool ParseProject(const std::string& text, TrialProject* project, std::string* error);

// Lookups; nullptr when there is none.
TrialVariable* FindVariableByName(TrialProject& project, const std::string& name);
TrialVariable* FindVariableByIndex(TrialProject& project, int index);
const TrialMacro* FindMacroByName(const TrialProject& project, const std::string& name);
const TrialMacro* FindMacroByIndex(const TrialProject& project, int index);

// A variable's value as the runtime answers it: text values in double quotes.
std::string AnsweredValue(const TrialVariable& variable);

// Moves every drifting variable by the steps that are due at time now (seconds
// on any steady clock); the first call only schedules the first step.
void ApplyDrifts(TrialProject& project, double now);

// A decimal index text (optional blanks around it); false for anything else.
bool ParseIndex(const std::string& text, int* index);

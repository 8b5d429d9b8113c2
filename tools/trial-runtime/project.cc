// project.cc: reading the trial runtime's project file and finding its
// variables and macros. Tested through tests/trial_runtime_test.cc.
#include "project.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Takes the next blank-separated word from line at *pos; empty at the end.
std::string NextWord(const std::string& line, size_t* pos) {
  while (*pos < line.size() && IsBlank(line[*pos])) ++*pos;
  const size_t start = *pos;
  while (*pos < line.size() && !IsBlank(line[*pos])) ++*pos;
  return line.substr(start, *pos - start);
}

// The rest of the line after the blanks that follow the last word.
std::string RestOfLine(const std::string& line, size_t pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  return line.substr(pos);
}

bool ValidName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == '=' || c == ';') return false;  // they would break "NAME=value" and lists
  }
  return true;
}

// A number with a decimal point or comma; false for anything else.
bool ParseNumber(const std::string& text, double* value, int* decimals, bool* comma) {
  std::string c_text = text;
  const size_t sep = c_text.find_first_of(".,");
  if (sep != std::string::npos) {
    if (c_text[sep] == ',') *comma = true;
    c_text[sep] = '.';
    *decimals = std::max(*decimals, static_cast<int>(c_text.size() - sep - 1));
  }
  if (c_text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(c_text.c_str(), &end);
  return *end == '\0' && std::isfinite(*value);
}

// DRIFT <NAME> <step> <min> <max> <seconds>; "" when it parses, else the reason.
std::string ParseDrift(const std::string& line, size_t pos, TrialDrift* drift) {
  drift->name = UpperName(NextWord(line, &pos));
  const std::string step = NextWord(line, &pos), min = NextWord(line, &pos),
                    max = NextWord(line, &pos), seconds = NextWord(line, &pos);
  if (!ValidName(drift->name)) return "bad name";
  bool comma = false;
  int unused = 0;
  if (!ParseNumber(step, &drift->step, &drift->decimals, &comma) ||
      !ParseNumber(min, &drift->min, &drift->decimals, &comma) ||
      !ParseNumber(max, &drift->max, &drift->decimals, &comma) ||
      !ParseNumber(seconds, &drift->seconds, &unused, &comma) || !RestOfLine(line, pos).empty())
    return "DRIFT needs: name step min max seconds";
  if (drift->step <= 0 || drift->min >= drift->max || drift->seconds <= 0)
    return "DRIFT needs step > 0, min < max and seconds > 0";
  drift->separator = comma ? ',' : '.';
  return "";
}

}  // namespace

std::string UpperName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') {
      c = static_cast<char>(u - 'a' + 'A');
    } else if (u == 0xE4 || u == 0xF6 || u == 0xFC) {  // the umlauts a, o, u
      c = static_cast<char>(u - 0x20);
    }
  }
  return upper;
}

bool ParseIndex(const std::string& text, int* index) {
  size_t pos = 0;
  const std::string word = NextWord(text, &pos);
  if (word.empty() || !RestOfLine(text, pos).empty()) return false;
  long long value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return false;
  }
  *index = static_cast<int>(value);
  return true;
}

bool ParseProject(const std::string& text, TrialProject* project, std::string* error) {
  TrialProject parsed;
  std::set<int> variable_indices, macro_indices;
  std::set<std::string> variable_names, macro_names;
  std::vector<std::string> read_only;
  size_t start = 0;
  int line_number = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto fail = [&](const std::string& reason) {
      *error = "line " + std::to_string(line_number) + ": " + reason;
      return false;
    };
    size_t pos = 0;
    const std::string keyword = NextWord(line, &pos);
    if (keyword.empty() || keyword[0] == '#') continue;
    if (keyword == "VAR") {
      TrialVariable variable;
      const std::string index = NextWord(line, &pos);
      variable.name = UpperName(NextWord(line, &pos));
      const std::string kind = NextWord(line, &pos);
      variable.value = RestOfLine(line, pos);
      if (!ParseIndex(index, &variable.index)) return fail("bad index \"" + index + "\"");
      if (!ValidName(variable.name)) return fail("bad name");
      if (kind != "N" && kind != "S" && kind != "U") return fail("kind must be N, S or U");
      variable.kind = kind[0];
      if (!variable_indices.insert(variable.index).second) return fail("index used twice");
      if (!variable_names.insert(variable.name).second) return fail("name used twice");
      parsed.variables.push_back(variable);
    } else if (keyword == "MACRO") {
      TrialMacro macro;
      const std::string index = NextWord(line, &pos);
      macro.name = UpperName(NextWord(line, &pos));
      if (!ParseIndex(index, &macro.index)) return fail("bad index \"" + index + "\"");
      if (!ValidName(macro.name) || !RestOfLine(line, pos).empty()) return fail("bad name");
      if (!macro_indices.insert(macro.index).second) return fail("index used twice");
      if (!macro_names.insert(macro.name).second) return fail("name used twice");
      parsed.macros.push_back(macro);
    } else if (keyword == "DRIFT") {
      TrialDrift drift;
      const std::string reason = ParseDrift(line, pos, &drift);
      if (!reason.empty()) return fail(reason);
      parsed.drifts.push_back(drift);
    } else if (keyword == "READONLY") {
      const std::string name = UpperName(NextWord(line, &pos));
      if (!ValidName(name) || !RestOfLine(line, pos).empty()) return fail("bad name");
      read_only.push_back(name);
    } else {
      return fail("unknown record \"" + keyword + "\"");
    }
  }
  for (const std::string& name : read_only) {
    if (variable_names.count(name) == 0) {
      *error = "READONLY names no variable: " + name;
      return false;
    }
    parsed.read_only.insert(name);
  }
  for (const TrialDrift& drift : parsed.drifts) {
    const TrialVariable* variable = FindVariableByName(parsed, drift.name);
    if (variable == nullptr || variable->kind != 'N') {
      *error = "DRIFT names no number variable: " + drift.name;
      return false;
    }
  }
  *project = parsed;
  return true;
}

TrialVariable* FindVariableByName(TrialProject& project, const std::string& name) {
  const std::string upper = UpperName(name);
  for (TrialVariable& variable : project.variables) {
    if (variable.name == upper) return &variable;
  }
  return nullptr;
}

TrialVariable* FindVariableByIndex(TrialProject& project, int index) {
  for (TrialVariable& variable : project.variables) {
    if (variable.index == index) return &variable;
  }
  return nullptr;
}

const TrialMacro* FindMacroByName(const TrialProject& project, const std::string& name) {
  const std::string upper = UpperName(name);
  for (const TrialMacro& macro : project.macros) {
    if (macro.name == upper) return &macro;
  }
  return nullptr;
}

const TrialMacro* FindMacroByIndex(const TrialProject& project, int index) {
  for (const TrialMacro& macro : project.macros) {
    if (macro.index == index) return &macro;
  }
  return nullptr;
}

std::string AnsweredValue(const TrialVariable& variable) {
  if (variable.kind == 'S') return "\"" + variable.value + "\"";
  return variable.value;
}

void ApplyDrifts(TrialProject& project, double now) {
  for (TrialDrift& drift : project.drifts) {
    if (drift.next_at < 0) drift.next_at = now + drift.seconds;
    TrialVariable* variable = FindVariableByName(project, drift.name);
    if (variable == nullptr || now < drift.next_at) continue;
    double value = 0;
    int decimals = 0;
    bool comma = false;
    if (!ParseNumber(variable->value, &value, &decimals, &comma)) value = drift.min;
    while (now >= drift.next_at) {
      double next = value + drift.direction * drift.step;
      if (next > drift.max || next < drift.min) {
        drift.direction = -drift.direction;
        next = value + drift.direction * drift.step;
      }
      value = std::min(drift.max, std::max(drift.min, next));
      drift.next_at += drift.seconds;
    }
    if (std::fabs(value) < 0.5 * std::pow(10.0, -drift.decimals)) value = 0;  // no "-0,0"
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", drift.decimals, value);
    variable->value = text;
    for (char& c : variable->value) {
      if (c == '.') c = drift.separator;
    }
  }
}

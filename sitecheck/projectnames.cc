// projectnames.cc: the names of a trial-runtime project file (see projectnames.h).
#include "sitecheck/projectnames.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

ProjectNamesRec ProjectNames;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next blank-separated word of line from *pos; empty at the end.
std::string NextWord(const std::string& line, size_t* pos) {
  while (*pos < line.size() && IsBlank(line[*pos])) ++*pos;
  const size_t start = *pos;
  while (*pos < line.size() && !IsBlank(line[*pos])) ++*pos;
  return line.substr(start, *pos - start);
}

// ASCII letters and the umlauts 0xE4, 0xF6, 0xFC in upper case, as the trial
// runtime keeps its names.
std::string UpperName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || u == 0xE4 || u == 0xF6 || u == 0xFC)
      c = static_cast<char>(u - 0x20);
  }
  return upper;
}

bool ParseIndex(const std::string& text, int* index) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || v > INT_MAX) return false;
  *index = static_cast<int>(v);
  return true;
}

int Find(const std::map<std::string, int>& names, const std::string& name, CallOutcome* outcome) {
  *outcome = CallOutcome::kOk;
  const auto it = names.find(UpperName(name));
  return it == names.end() ? -1 : it->second;
}

}  // namespace

bool ParseProjectNames(const std::string& text, std::string* error) {
  struct : ProjectNamesRec {
    std::vector<std::string> read_only;  // READONLY may come before its VAR
  } names;
  size_t start = 0;
  for (int line_no = 1; start < text.size(); ++line_no) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t pos = 0;
    const std::string record = NextWord(line, &pos);
    if (record == "READONLY") {
      names.read_only.push_back(UpperName(NextWord(line, &pos)));
      continue;
    }
    if (record != "VAR" && record != "MACRO") continue;
    const std::string index_text = NextWord(line, &pos);
    const std::string name = NextWord(line, &pos);
    int index = 0;
    if (!ParseIndex(index_text, &index) || name.empty()) {
      *error = "line " + std::to_string(line_no) + ": " + record + " needs an index and a name";
      return false;
    }
    (record == "VAR" ? names.variables : names.macros)[UpperName(name)] = index;
    if (record == "VAR") {
      const std::string kind = NextWord(line, &pos);
      VarFacts& facts = names.facts[UpperName(name)];
      facts.kind = kind.size() == 1 ? kind[0] : 0;
      facts.writable = 1;
    }
  }
  for (const std::string& name : names.read_only) {
    const auto it = names.facts.find(name);
    if (it != names.facts.end()) it->second.writable = 0;
  }
  ProjectNames = names;
  return true;
}

int ProjectVarIdx(const std::string& name, CallOutcome* outcome) {
  return Find(ProjectNames.variables, name, outcome);
}

int ProjectObjIdx(const std::string& name, CallOutcome* outcome) {
  return Find(ProjectNames.macros, name, outcome);
}

VarFacts ProjectVarFacts(const std::string& name) {
  const auto it = ProjectNames.facts.find(UpperName(name));
  return it == ProjectNames.facts.end() ? VarFacts() : it->second;
}

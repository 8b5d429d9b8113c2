// pagecheck.cc: the rules for one page file (see pagecheck.h). The lines are
// taken and sections told apart as the page server's renderer does (the shared
// header reader, the key heads "OBJROW=", "MACRO=", "NAVI=", "HTML1=", ...);
// what the renderer forgives (a row of nine fields, a kind "X", a count that
// does not match) is a finding here.
#include "sitecheck/pagecheck.h"

#include <algorithm>

#include "common/names.h"
#include "common/pageheader.h"
#include "sitecheck/findings.h"
#include "sitecheck/sitecheck.h"
#include "toolkit/strobj.h"

namespace {

constexpr int kKnownSections[] = {kPageSection, kLayoutSection, kColumnsSection,   kRefreshSection,
                                  kHeadSection, kTopNavigation, kBottomNavigation, kObjectTable,
                                  kMacroTable,  kHtmlBlock1,    kHtmlBlock2};

constexpr int kObjRowFields = 10;
constexpr int kObjRowIndexField = 5;
constexpr int kMacroIndexField = 3;
// From this file version on, navigation entries are separated by 0x0B and their
// label and target by 0x03; before it by "@" and ":".
constexpr int kControlSeparatorsFrom = 140;
// A navigation target of this name signs the user off; the server knows it.
constexpr char kSignOffPage[] = "signoff";

const std::vector<const char*> kPageNumberKeys = {"BW"};
const std::vector<const char*> kLayoutNumberKeys = {
    "FSHEAD", "FSOBJ", "FSVAL", "FSNAV", "OBWIDTH", "OWWIDTH", "OPWIDTH", "PW", "INPW"};

// Where the walk over one page file stands.
struct PageWalk {
  std::string file;
  int line_no = 0;
  int code = 0;          // section of the current line; 0 before the first header
  int file_version = 0;  // "FILEVERS" as far as read
  int nav_count = 0;     // parameter of the latest navigation header
};

int CountByte(const std::string& text, char c) {
  return static_cast<int>(std::count(text.begin(), text.end(), c));
}

// The number of sep-separated items in a list; one separator at the very end
// closes the last item and opens none.
int CountItems(const std::string& list, char sep) {
  if (list.empty()) return 0;
  return CountByte(list, sep) + 1 - (list.back() == sep ? 1 : 0);
}

void Error(const PageWalk& w, const std::string& message) { AddError(w.file, w.line_no, message); }
void Warning(const PageWalk& w, const std::string& message) {
  AddWarning(w.file, w.line_no, message);
}

// Asks lookup for name; warns when the runtime does not know it. Returns the
// index, or -1 when unknown or the runtime is gone.
int LookUp(const PageWalk& w, const NameLookup& lookup, const std::string& name,
           const std::string& what) {
  CallOutcome outcome = CallOutcome::kFault;
  const int index = lookup(name, &outcome);
  if (outcome == CallOutcome::kUnreachable) {
    CheckSettings.runtime_gone = true;
    return -1;
  }
  if (outcome != CallOutcome::kOk || index < 0) {
    Warning(w, "the runtime knows no " + what + " " + Quoted(name));
    return -1;
  }
  return index;
}

// Counts an index field that differs from the runtime's index; the first one
// gets a warning (completed by CheckSite).
void CompareIndex(const PageWalk& w, const std::string& name, const std::string& field, int index) {
  if (index < 0 || field == IntToStrS(index)) return;
  if (CheckSettings.stale_indices++ > 0) return;
  CheckSettings.first_stale_finding = Findings.list.size();
  Warning(w, "index " + Quoted(field) + " of " + Quoted(name) + " is " + IntToStrS(index) +
                 " in the runtime");
}

void CheckSelection(const PageWalk& w, const std::string& name, const std::string& list) {
  const std::string count = StrGetIndex(list, 1, '&');
  if (!IsWholeNumber(count)) {
    Error(w, "selection " + Quoted(name) + " has the count " + Quoted(count) +
                 ", which is not a number");
    return;
  }
  const int choices = std::max(0, CountItems(list, '&') - 1);
  if (C_StrToInt(count) != choices)
    Error(w, "selection " + Quoted(name) + " counts " + count + " choices but lists " +
                 IntToStrS(choices));
}

void CheckObjectRow(const PageWalk& w, const std::string& record) {
  const std::string name = StrGetIndex(record, 1, '@');
  const int fields = CountByte(record, '@') + 1;
  if (fields != kObjRowFields) {
    // The other fields are not where the rules look for them: one finding is enough.
    Error(w, "object row " + Quoted(name) + " has " + IntToStrS(fields) + " fields; it needs " +
                 IntToStrS(kObjRowFields));
  } else {
    const std::string editable = StrGetIndex(record, 3, '@');
    if (editable != "0" && editable != "1")
      Error(w, "object row " + Quoted(name) + " has the editable flag " + Quoted(editable) +
                   "; it must be 0 or 1");
    const std::string kind = StrGetIndex(record, 6, '@');
    if (kind != "S" && kind != "N" && kind != "U") {
      Error(w, "object row " + Quoted(name) + " has the unknown kind " + Quoted(kind) +
                   "; it must be S, N or U");
    } else if (kind == "U") {
      CheckSelection(w, name, StrGetIndex(record, 8, '@'));
    }
  }
  if (!CheckSettings.var_idx) return;
  const int index = LookUp(w, CheckSettings.var_idx, name, "variable");
  if (fields == kObjRowFields)
    CompareIndex(w, name, StrGetIndex(record, kObjRowIndexField, '@'), index);
}

void CheckMacroRow(const PageWalk& w, const std::string& record) {
  const std::string name = StrGetIndex(record, 1, '@');
  if (StrGetIndex(record, 2, '@').empty()) Error(w, "macro row " + Quoted(name) + " has no label");
  if (!CheckSettings.obj_idx) return;
  const int index = LookUp(w, CheckSettings.obj_idx, name, "macro");
  // The compiler fills the index field only when it is there and not an empty last field.
  const std::string field = StrGetIndex(record, kMacroIndexField, '@');
  if (!field.empty() || CountByte(record, '@') >= kMacroIndexField) {
    CompareIndex(w, name, field, index);
  }
}

// One navigation list, as the renderer writes it: nav_count entries.
void CheckNavigation(const PageWalk& w, const std::string& list) {
  const bool control = w.file_version >= kControlSeparatorsFrom;
  const char entry_sep = control ? '\x0B' : '@';
  const char field_sep = control ? '\x03' : ':';
  const int entries = CountItems(list, entry_sep);
  if (entries != w.nav_count)
    Error(w, "the navigation header counts " + IntToStrS(w.nav_count) +
                 " entries but the list has " + IntToStrS(entries));
  for (int i = 1; i <= entries; ++i) {
    const std::string entry = StrGetIndex(list, i, entry_sep);
    const std::string label = StrGetIndex(entry, 1, field_sep);
    const std::string target = StrGetIndex(entry, 2, field_sep);
    if (target.empty()) {
      Error(w, "navigation entry " + Quoted(label) + " names no page");
    } else if (target[0] != '>' && target != kSignOffPage && !PageFileExists(target)) {
      Error(w, "navigation entry " + Quoted(label) + " names the page " + Quoted(target) +
                   ", which has no page file");
    }
  }
}

// The "%<NAME>" references of an HTML block, found as the renderer finds them.
void CheckReferences(const PageWalk& w, const std::string& text) {
  if (!CheckSettings.var_idx) return;
  size_t p = text.find("%<");
  while (p != std::string::npos) {
    const size_t q = text.find('>', p + 1);
    if (q == std::string::npos) return;
    const std::string name = StrUpper(text.substr(p + 2, q - p - 2));
    LookUp(w, CheckSettings.var_idx, name, "variable");
    if (CheckSettings.runtime_gone) return;
    p = text.find("%<", q + 1);
  }
}

void CheckHeader(PageWalk& w, const std::string& line) {
  std::string param;
  ReadPageHeader(line.substr(1), &w.code, &param);
  const int* end = kKnownSections + sizeof kKnownSections / sizeof kKnownSections[0];
  if (std::find(kKnownSections, end, w.code) == end)
    Error(w, "unknown section header " + Quoted(line));
  if (w.code == kTopNavigation || w.code == kBottomNavigation) w.nav_count = C_StrToInt(param);
}

void CheckContent(PageWalk& w, const std::string& line) {
  std::string v;
  switch (w.code) {
    case kPageSection:
      v = StrGetKeyRow("FILEVERS", line);
      if (!v.empty()) w.file_version = C_StrToInt(v);
      CheckNumberKeys(w.file, w.line_no, line, kPageNumberKeys);
      break;
    case kLayoutSection:
      CheckNumberKeys(w.file, w.line_no, line, kLayoutNumberKeys);
      break;
    // Every line of a navigation section is a list; one without "NAVI=" an empty one.
    case kTopNavigation:
    case kBottomNavigation:
      CheckNavigation(w, StrGetKeyRow("NAVI", line));
      break;
    case kObjectTable:
      v = StrGetKeyRow("OBJROW", line);
      if (!v.empty()) CheckObjectRow(w, v);
      break;
    case kMacroTable:
      v = StrGetKeyRow("MACRO", line);
      if (!v.empty()) CheckMacroRow(w, v);
      break;
    case kHtmlBlock1:
      CheckReferences(w, StrGetKeyRow("HTML1", line));
      break;
    case kHtmlBlock2:
      CheckReferences(w, StrGetKeyRow("HTML2", line));
      break;
    default:
      break;
  }
}

}  // namespace

void CheckNumberKeys(const std::string& file_name, int line_no, const std::string& line,
                     const std::vector<const char*>& keys) {
  for (const char* key : keys) {
    const std::string v = StrGetKeyRow(key, line);
    if (v.empty()) continue;
    if (!IsWholeNumber(v))
      AddError(file_name, line_no, std::string(key) + " is not a number: " + Quoted(v));
    return;
  }
}

void CheckPageFile(const std::string& file_name, const std::vector<std::string>& lines) {
  PageWalk w;
  w.file = file_name;
  std::string line;
  for (size_t i = 0; i < lines.size() && !CheckSettings.runtime_gone; ++i) {
    if (!TakeLine(lines[i], &line)) continue;
    w.line_no = static_cast<int>(i) + 1;
    if (line[0] == '#') {
      CheckHeader(w, line);
    } else {
      CheckContent(w, line);
    }
  }
}

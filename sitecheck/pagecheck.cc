// pagecheck.cc: the rules for one page file (see pagecheck.h). The lines are
// taken and sections told apart as the page server's renderer does (the shared
// header reader, the keys each section reads, the page head written at the
// "SHEAD" line); what the renderer forgives or drops silently (a row of nine
// fields, a kind "X", a key in the wrong case, a setting after the head, a
// table never closed) is a finding here.
#include "sitecheck/pagecheck.h"

#include <algorithm>

#include "common/names.h"
#include "common/pageheader.h"
#include "sitecheck/findings.h"
#include "sitecheck/sitecheck.h"
#include "sitecheck/textcheck.h"
#include "toolkit/strobj.h"

namespace {

// The keys each section reads, in the renderer's order (layout: fonts first).
struct SectionKeys {
  int code;
  std::vector<std::string> keys;
};
std::vector<std::string> LayoutKeys() {
  std::vector<std::string> keys;
  for (const char* cls : {"HEAD", "OBJ", "VAL", "NAV"})
    for (const char* prefix : {"FN", "FS", "FST", "FC", "FCB"}) keys.push_back(std::string(prefix) + cls);
  for (const char* key : {"OBWIDTH", "OWWIDTH", "OPWIDTH", "LMHL", "LMOBJ", "LMMAC", "RW", "PW",
                          "RHM", "FW", "CELLD", "TXD", "INPW", "PICSTR", "BG", "BGPIC"})
    keys.push_back(key);
  return keys;
}
const std::vector<SectionKeys> kSections = {
    {kPageSection, {"FILEVERS", "BG", "BW", "AUTOWIDTH", "NOAUTOSCALE"}},
    {kLayoutSection, LayoutKeys()},
    {kColumnsSection, {"OBJCOLS"}},
    {kRefreshSection, {"AutoAkt", "AutoAktSec"}},
    {kHeadSection, {"SHEAD"}},
    {kTopNavigation, {"NAVI"}},
    {kBottomNavigation, {"NAVI"}},
    {kObjectTable, {"OBJROW"}},
    {kMacroTable, {"MACRO"}},
    {kHtmlBlock1, {"HTML1"}},
    {kHtmlBlock2, {"HTML2"}},
};
// Settings that only the page head uses: read after the "SHEAD" line, they change nothing.
const std::vector<std::string> kHeadOnlyKeys = {"BG", "BW", "AUTOWIDTH", "NOAUTOSCALE", "LMHL", "PW"};
// What the compiler of an older version wrote over a row whose name the runtime did not know.
constexpr char kOldUnknownRow[] = "*ERROR - invalid index";

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
  std::string page;      // the page's name ("*Site=")
  int line_no = 0;
  int code = 0;          // section of the current line; 0 before the first header
  bool known_code = true;  // the current section is one the renderer reads
  int file_version = 0;  // "FILEVERS" as far as read
  int nav_count = 0;     // parameter of the latest navigation header
  int heads = 0;         // "SHEAD" lines so far: the page head is written at the first
  bool form = false;     // "OBJCOLS" with "2x;" read: the page has a form
  std::string columns;   // "OBJCOLS" as far as read
  std::string title;     // parameter of the latest "#1000" header
  int title_line = 0;    // its line; 0: no "#1000" header
  bool reload = false;   // "AutoAkt=1" as far as read
  int table_line = 0;    // header line of the object or macro table the walk is in
};

const SectionKeys* FindSection(int code) {
  for (const SectionKeys& s : kSections)
    if (s.code == code) return &s;
  return nullptr;
}

std::string PlaceName(int code) { return "section #" + IntToStrS(code); }

// The keys of the other sections, each with its section, for a key put in the wrong one.
std::vector<std::pair<std::string, std::string>> KeysElsewhere(int code) {
  std::vector<std::pair<std::string, std::string>> out;
  const SectionKeys* here = FindSection(code);
  for (const SectionKeys& s : kSections) {
    if (s.code == code) continue;
    for (const std::string& key : s.keys) {
      if (here != nullptr &&
          std::find(here->keys.begin(), here->keys.end(), key) != here->keys.end())
        continue;
      out.push_back({key, PlaceName(s.code)});
    }
  }
  return out;
}

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

// Asks lookup for name; an error when the runtime does not know it (shown says
// what the page then shows). Returns the index, or -1 when unknown or the
// runtime is gone.
int LookUp(const PageWalk& w, const NameLookup& lookup, const std::string& name,
           const std::string& what, const std::string& shown) {
  CallOutcome outcome = CallOutcome::kFault;
  const int index = lookup(name, &outcome);
  if (outcome == CallOutcome::kUnreachable) {
    CheckSettings.runtime_gone = true;
    return -1;
  }
  if (outcome != CallOutcome::kOk || index < 0) {
    Error(w, "the runtime knows no " + what + " " + Quoted(name) + "; " + shown);
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

constexpr char kInvalidShown[] = "the row shows the invalid-index text";

// What the runtime tells of the row's variable: its kind, and whether the web
// may write it where the row offers an input.
void CompareFacts(const PageWalk& w, const std::string& name, const std::string& record) {
  const VarFacts facts = CheckSettings.var_facts(name);
  const std::string kind = StrGetIndex(record, 6, '@');
  if (facts.kind != 0 && kind != std::string(1, facts.kind))
    Error(w, "object row " + Quoted(name) + " has the kind " + Quoted(kind) +
                 "; the runtime's variable is of kind " + std::string(1, facts.kind));
  const bool input = StrGetIndex(record, 3, '@') == "1" &&
                     w.columns.find("2x") != std::string::npos;
  if (input && facts.writable == 0)
    Error(w, "object row " + Quoted(name) +
                 " offers an input, but the runtime does not let the web write it; set its "
                 "editable flag to 0");
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
  const std::string index_field = StrGetIndex(record, kObjRowIndexField, '@');
  if (!CheckSettings.var_idx) {
    if (fields == kObjRowFields && index_field == "-1")
      Error(w, "object row " + Quoted(name) +
                   " has the index -1: the runtime did not know the name at the last compile; " +
                   kInvalidShown);
    return;
  }
  const int index = LookUp(w, CheckSettings.var_idx, name, "variable", kInvalidShown);
  if (fields != kObjRowFields) return;
  CompareIndex(w, name, index_field, index);
  if (index >= 0 && CheckSettings.var_facts) CompareFacts(w, name, record);
}

void CheckMacroRow(const PageWalk& w, const std::string& record) {
  const std::string name = StrGetIndex(record, 1, '@');
  if (StrGetIndex(record, 2, '@').empty()) Error(w, "macro row " + Quoted(name) + " has no label");
  if (!CheckSettings.obj_idx) return;
  const int index = LookUp(w, CheckSettings.obj_idx, name, "macro", kInvalidShown);
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

// The "%<NAME>" references of an HTML block, found as the renderer finds them
// (the search goes on after the ">" of each).
void CheckReferences(const PageWalk& w, const std::string& text) {
  size_t p = text.find("%<");
  while (p != std::string::npos) {
    const size_t q = text.find('>', p + 1);
    if (q == std::string::npos) {
      Error(w, "the reference " + Quoted(text.substr(p)) +
                   " has no \">\": the server shows it and the rest of the line as they stand");
      return;
    }
    const std::string written = text.substr(p + 2, q - p - 2);
    if (written.find_first_of(" <") != std::string::npos) {
      Error(w, "the reference name " + Quoted(written) +
                   " holds a blank or \"<\": a \">\" is missing; the server asks for that "
                   "name and shows nothing");
    } else if (CheckSettings.var_idx) {
      LookUp(w, CheckSettings.var_idx, StrUpper(written), "variable",
             "the reference shows nothing");
      if (CheckSettings.runtime_gone) return;
    }
    p = text.find("%<", q + 1);
  }
}

void CheckHeader(PageWalk& w, const std::string& line) {
  std::string param;
  ReadPageHeader(line.substr(1), &w.code, &param);
  w.known_code = FindSection(w.code) != nullptr;
  if (!w.known_code)
    Warning(w, "the section " + Quoted(line) +
                   " is not one the server reads; it ignores the section's lines");
  if (w.code == kTopNavigation || w.code == kBottomNavigation) w.nav_count = C_StrToInt(param);
  if (w.code == kPageSection) {
    w.title = param;
    w.title_line = w.line_no;
  }
  w.table_line = (w.code == kObjectTable || w.code == kMacroTable) ? w.line_no : 0;
}

// Whether the line is read by its section; a finding for one that is not.
bool CheckKey(PageWalk& w, const std::string& line) {
  if (w.code == 0) {
    Warning(w, "the line stands before the first section header; the server ignores it");
    return false;
  }
  if (!w.known_code) return false;
  const SectionKeys* section = FindSection(w.code);
  // Every line that begins with "SHEAD" writes the head, with or without its "=".
  if (w.code == kHeadSection && line.compare(0, 5, "SHEAD") == 0) return true;
  if ((w.code == kObjectTable || w.code == kMacroTable) && line == kOldUnknownRow) {
    Error(w, "an older compiler put " + Quoted(line) +
                 " in place of a row whose name the runtime did not know; write the row again");
    return false;
  }
  // In a navigation section every line is a list: another line writes an empty one.
  if (w.code == kTopNavigation || w.code == kBottomNavigation) {
    if (line.compare(0, 5, "NAVI=") == 0) return true;
    Error(w, Quoted(line) + " is no NAVI=list line: the server writes an empty navigation for it");
    return false;
  }
  std::string hint;
  const KeyFit fit = JudgeKeyLine(line, section->keys, KeysElsewhere(w.code),
                                  PlaceName(w.code), &hint);
  if (fit == KeyFit::kMeant) Error(w, hint);
  if (fit == KeyFit::kUnknown) Warning(w, hint);
  return fit == KeyFit::kRead;
}

// A settings line read after the "SHEAD" line: the head is written already.
void CheckAfterHead(const PageWalk& w, const std::string& line) {
  if (w.heads == 0) return;
  std::string key = line.substr(0, line.find('='));
  const bool font = w.code == kLayoutSection && key.size() > 2 &&
                    (key.compare(0, 2, "FN") == 0 || key.compare(0, 2, "FS") == 0 ||
                     key.compare(0, 2, "FC") == 0);
  const bool head_only =
      std::find(kHeadOnlyKeys.begin(), kHeadOnlyKeys.end(), key) != kHeadOnlyKeys.end() &&
      !(key == "BG" && w.code == kLayoutSection);
  if ((font || head_only) && !StrGetKeyRow(key, line).empty())
    Error(w, key + " comes after SHEAD, where the page head is written already; the server " +
                 (key == "PW" ? "closes a container it never opened" : "ignores it") +
                 ": move it before #8000");
}

void CheckColumns(PageWalk& w, const std::string& value) {
  const bool opens_form = value.find("2x;") != std::string::npos;
  if (!opens_form && value.size() >= 2 && value.compare(value.size() - 2, 2, "2x") == 0 &&
      (value.size() == 2 || value[value.size() - 3] == ';'))
    Error(w, "OBJCOLS ends with 2x without \";\": the server writes the inputs but no form to "
             "send them; write " + Quoted(value + ";"));
  if (opens_form && !w.form && w.heads > 0)
    Error(w, "OBJCOLS turns the form on after SHEAD: the inputs get no form start and cannot be "
             "sent; move #6000 before #8000");
  w.form = w.form || opens_form;
  w.columns = value;
}

void CheckContent(PageWalk& w, const std::string& line) {
  if (!CheckKey(w, line)) return;
  std::string v;
  switch (w.code) {
    case kPageSection:
      v = StrGetKeyRow("FILEVERS", line);
      if (!v.empty()) w.file_version = C_StrToInt(v);
      CheckAfterHead(w, line);
      CheckNumberKeys(w.file, w.line_no, line, kPageNumberKeys);
      break;
    case kLayoutSection:
      CheckAfterHead(w, line);
      CheckNumberKeys(w.file, w.line_no, line, kLayoutNumberKeys);
      break;
    case kColumnsSection:
      v = StrGetKeyRow("OBJCOLS", line);
      if (!v.empty()) CheckColumns(w, v);
      break;
    case kRefreshSection:
      v = StrGetKeyRow("AutoAkt", line);
      if (!v.empty()) w.reload = v == "1";
      break;
    case kHeadSection:
      if (++w.heads > 1)
        Error(w, "a second SHEAD line writes the page head again; a page has one");
      else if (line.compare(0, 6, "SHEAD=") != 0)
        Error(w, Quoted(line) + " writes the page head but sets no heading; write SHEAD=heading");
      break;
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

// What only the whole file tells: the head, the open table, the reload's target.
void CheckPageEnd(PageWalk& w) {
  if (w.heads == 0)
    AddError(w.file, 0,
             "no SHEAD line: the page gets no head, no heading and no form start; add #8000 "
             "and SHEAD=heading after the settings");
  if (w.table_line > 0)
    AddError(w.file, w.table_line,
             "the page file ends inside this table, which is then never closed; add a "
             "section header after its last row");
  if (w.reload && w.title != w.page)
    AddError(w.file, w.title_line,
             "the page reloads itself, but its #1000 header names it " + Quoted(w.title) +
                 ", not " + Quoted(w.page) + ": the reload goes to that page");
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

void CheckPageFile(const std::string& file_name, const std::string& page,
                   const std::vector<std::string>& lines) {
  PageWalk w;
  w.file = file_name;
  w.page = page;
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
  if (!CheckSettings.runtime_gone) CheckPageEnd(w);
}

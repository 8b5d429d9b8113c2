// sitecheck.cc: the run of the site checker (see sitecheck.h): the site
// definition file, the page files in the order of its "*Site=" lines, the page
// files it does not list, and the user file (signoncheck.h). Only reads; every
// file name built from a site file's text passes IsValidName first.
#include "sitecheck/sitecheck.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "common/boxfiles.h"
#include "common/config.h"
#include "common/linereader.h"
#include "common/names.h"
#include "sitecheck/findings.h"
#include "sitecheck/pagecheck.h"
#include "sitecheck/signoncheck.h"
#include "sitecheck/textcheck.h"
#include "toolkit/strobj.h"

CheckSettingsRec CheckSettings;

namespace {

constexpr char kSiteKey[] = "*Site=";
// The keys the server and the compiler read in the site definition file.
const std::vector<std::string> kSiteFileKeys = {"AUTHMSG",   "STARTPAGE",   "FREEIPS", "BW",
                                                "AUTOWIDTH", "NOAUTOSCALE", "TESTMODE", "*Site"};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool BeginsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The site definition file: the pages it lists (in order, each once), the start
// page and the width. Findings go to site_file.
std::vector<std::string> CheckSiteFile(const std::string& site_file,
                                       const std::vector<std::string>& lines) {
  std::vector<std::string> pages;
  std::vector<int> page_lines;
  std::string line;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!TakeLine(lines[i], &line)) continue;
    const int line_no = static_cast<int>(i) + 1;
    std::string hint;
    const KeyFit fit = JudgeKeyLine(line, kSiteFileKeys, {}, "the site definition file", &hint);
    if (fit == KeyFit::kMeant) AddError(site_file, line_no, hint);
    if (fit == KeyFit::kUnknown) AddWarning(site_file, line_no, hint);
    if (BeginsWith(line, kSiteKey)) {
      const std::string page = line.substr(sizeof kSiteKey - 1);
      const auto seen = std::find(pages.begin(), pages.end(), page);
      if (!PageFileExists(page)) {
        AddError(site_file, line_no,
                 "the page " + Quoted(page) + " has no page file" +
                     (IsValidName(page) ? " " + PageFileName(page) : ""));
      } else if (seen != pages.end()) {
        AddWarning(site_file, line_no,
                   "the page " + Quoted(page) + " is listed on line " +
                       IntToStrS(page_lines[seen - pages.begin()]) +
                       " already; the compiler compiles it twice");
      } else {
        pages.push_back(page);
        page_lines.push_back(line_no);
      }
      continue;
    }
    const std::string start = StrGetKeyRow("STARTPAGE", line);
    if (!start.empty() && !PageFileExists(start))
      AddError(site_file, line_no,
               "STARTPAGE names the page " + Quoted(start) + ", which has no page file");
    CheckFreeIps(site_file, line_no, StrGetKeyRow("FREEIPS", line));
    CheckNumberKeys(site_file, line_no, line, {"BW"});
  }
  return pages;
}

// Page files of the site in the directory that the definition does not list.
// A file of a longer site's name ("S_X" with its own "S_X.TVS") is that site's.
void CheckUnlistedPages(const std::vector<std::string>& listed) {
  const std::string head = CheckSettings.site + "_";
  std::vector<std::string> names;
  std::vector<std::string> other_sites;
  if (DIR* dir = opendir(CheckSettings.dir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (!BeginsWith(name, head)) continue;
      if (EndsWith(name, kPageFileSuffix)) names.push_back(name);
      if (EndsWith(name, kSiteFileSuffix))
        other_sites.push_back(name.substr(0, name.size() - (sizeof kSiteFileSuffix - 1)) + "_");
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());  // a directory's order is no order
  for (const std::string& name : names) {
    const std::string page =
        name.substr(head.size(), name.size() - head.size() - (sizeof kPageFileSuffix - 1));
    if (std::find(listed.begin(), listed.end(), page) != listed.end()) continue;
    bool other = false;
    for (const std::string& o : other_sites) other = other || BeginsWith(name, o);
    if (!other) AddWarning(name, 0, "the page file is not listed by \"*Site=\"");
  }
}

// A variable's kind from the runtime's form-3 answer "index;NAME;kind;value";
// an answer of another shape tells nothing.
VarFacts RuntimeVarFacts(const std::string& name) {
  VarFacts facts;
  std::string answer;
  if (!RuntimeGetVarByName(3, name, &answer)) return facts;
  const std::string index = StrGetIndex(answer, 1, ';');
  const std::string kind = StrGetIndex(answer, 3, ';');
  if (IsWholeNumber(index) && kind.size() == 1 && std::string("SNU").find(kind[0]) != std::string::npos)
    facts.kind = kind[0];
  return facts;
}

}  // namespace

void UseRuntimeLookups() {
  LoadCfgFile(ControlFilePath());
  CheckSettings.var_idx = RuntimeGetVarIdx;
  CheckSettings.obj_idx = RuntimeGetObjIdx;
  CheckSettings.var_facts = RuntimeVarFacts;
}

bool ReadCheckedLines(const std::string& path, std::vector<std::string>* lines,
                      bool* last_unended) {
  lines->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string text;
  bool ended_lf = true;
  while (ReadLine(file, &text, &ended_lf)) {
    lines->push_back(text);
    if (last_unended != nullptr) *last_unended = !ended_lf;
  }
  if (last_unended != nullptr && lines->empty()) *last_unended = false;
  const bool failed = std::ferror(file) != 0;  // a directory opens but does not read
  std::fclose(file);
  return !failed;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) text->append(block, n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool TakeLine(const std::string& raw, std::string* text) {
  if (raw.size() < 2) return false;
  *text = raw.back() == '\r' ? raw.substr(0, raw.size() - 1) : raw;
  return true;
}

std::string PageFileName(const std::string& page) {
  return PageFilePath("", CheckSettings.site, page);
}

bool PageFileExists(const std::string& page) {
  if (!IsValidName(page)) return false;
  struct stat st;
  const std::string path = PageFilePath(CheckSettings.dir, CheckSettings.site, page);
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsWholeNumber(const std::string& text) {
  const std::string t = StrTrim(text);  // the readers skip blanks before the number
  size_t i = (!t.empty() && t[0] == '-') ? 1 : 0;
  if (i == t.size()) return false;
  for (; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

int CheckSite() {
  Findings = FindingsRec();
  CheckSettings.runtime_gone = false;
  CheckSettings.stale_indices = 0;
  const std::string site_file = SiteDefinitionPath("", CheckSettings.site);
  std::vector<std::string> lines;
  bool unended = false;
  if (!IsValidName(CheckSettings.site) ||
      !ReadCheckedLines(SiteDefinitionPath(CheckSettings.dir, CheckSettings.site), &lines,
                        &unended))
    return kCheckUnreadable;

  CheckFileText(site_file, &lines, unended, true);
  const std::vector<std::string> pages = CheckSiteFile(site_file, lines);
  for (const std::string& page : pages) {
    if (!ReadCheckedLines(PageFilePath(CheckSettings.dir, CheckSettings.site, page), &lines,
                          &unended)) {
      AddError(PageFileName(page), 0, "the page file cannot be read");
      continue;
    }
    CheckFileText(PageFileName(page), &lines, unended, true);
    CheckPageFile(PageFileName(page), page, lines);
    if (CheckSettings.runtime_gone) return kCheckUnreadable;
  }
  CheckUnlistedPages(pages);
  CheckUserFile();
  if (CheckSettings.stale_indices > 0) {
    const int more = CheckSettings.stale_indices - 1;
    std::string& message = Findings.list[CheckSettings.first_stale_finding].message;
    if (more == 1) message += ", and 1 more index field differs";
    if (more > 1) message += ", and " + IntToStrS(more) + " more index fields differ";
    message += "; the site needs a compile";
  }
  return Findings.errors > 0 ? kCheckErrors : kCheckClean;
}

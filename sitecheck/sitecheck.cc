// sitecheck.cc: the run of the site checker (see sitecheck.h): the site
// definition file, the page files in the order of its "*Site=" lines, the page
// files it does not list, and the user file. Only reads; every file name built
// from a site file's text passes IsValidName first.
#include "sitecheck/sitecheck.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "common/boxfiles.h"
#include "common/linereader.h"
#include "common/names.h"
#include "sitecheck/findings.h"
#include "sitecheck/pagecheck.h"
#include "toolkit/strobj.h"

CheckSettingsRec CheckSettings;

namespace {

constexpr char kSiteKey[] = "*Site=";
constexpr int kUserFields = 3;  // user;password;start page (further fields are not read)

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool BeginsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The start page as the sign-on uses it: while it is at least 3 bytes long,
// a last byte below "0" (blanks, "-", ".", "/") is dropped.
std::string TrimmedStartPage(const std::string& page) {
  std::string out = page;
  while (out.size() >= 3 && static_cast<unsigned char>(out.back()) < '0') out.pop_back();
  return out;
}

// The site definition file: the pages it lists (in order, each once), the start
// page and the width. Findings go to site_file.
std::vector<std::string> CheckSiteFile(const std::string& site_file,
                                       const std::vector<std::string>& lines) {
  std::vector<std::string> pages;
  std::string line;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!TakeLine(lines[i], &line)) continue;
    const int line_no = static_cast<int>(i) + 1;
    if (BeginsWith(line, kSiteKey)) {
      const std::string page = line.substr(sizeof kSiteKey - 1);
      if (!PageFileExists(page)) {
        AddError(site_file, line_no,
                 "the page " + Quoted(page) + " has no page file" +
                     (IsValidName(page) ? " " + PageFileName(page) : ""));
      } else if (std::find(pages.begin(), pages.end(), page) == pages.end()) {
        pages.push_back(page);
      }
      continue;
    }
    const std::string start = StrGetKeyRow("STARTPAGE", line);
    if (!start.empty() && !PageFileExists(start))
      AddError(site_file, line_no,
               "STARTPAGE names the page " + Quoted(start) + ", which has no page file");
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

void CheckUserFile() {
  const std::string file = UserFilePath("", CheckSettings.site);
  std::vector<std::string> lines;
  if (!ReadCheckedLines(UserFilePath(CheckSettings.dir, CheckSettings.site), &lines)) {
    AddError(file, 0, "the user file cannot be read; nobody can sign on");
    return;
  }
  std::string line;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!TakeLine(lines[i], &line)) continue;
    const int line_no = static_cast<int>(i) + 1;
    // The line holds a password: only the user name is ever printed.
    const std::string user = StrGetIndex(line, 1, ';');
    const int fields = static_cast<int>(std::count(line.begin(), line.end(), ';')) + 1;
    if (fields < kUserFields) {
      AddError(file, line_no,
               "the line has " + IntToStrS(fields) + (fields == 1 ? " field" : " fields") +
                   "; it needs user;password;start page");
      continue;
    }
    const std::string start = TrimmedStartPage(StrGetIndex(line, 3, ';'));
    if (start.empty()) {
      AddError(file, line_no, "the user " + Quoted(user) + " has no start page");
    } else if (!PageFileExists(start)) {
      AddError(file, line_no,
               "the user " + Quoted(user) + " has the start page " + Quoted(start) +
                   ", which has no page file");
    }
  }
}

}  // namespace

bool ReadCheckedLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string text;
  bool ended_lf;
  while (ReadLine(file, &text, &ended_lf)) lines->push_back(text);
  const bool failed = std::ferror(file) != 0;  // a directory opens but does not read
  std::fclose(file);
  return !failed;
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
  if (!IsValidName(CheckSettings.site) ||
      !ReadCheckedLines(SiteDefinitionPath(CheckSettings.dir, CheckSettings.site), &lines))
    return kCheckUnreadable;

  const std::vector<std::string> pages = CheckSiteFile(site_file, lines);
  for (const std::string& page : pages) {
    if (!ReadCheckedLines(PageFilePath(CheckSettings.dir, CheckSettings.site, page), &lines)) {
      AddError(PageFileName(page), 0, "the page file cannot be read");
      continue;
    }
    CheckPageFile(PageFileName(page), lines);
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

// findings.h: what the site checker found: one record per finding (file, line,
// error or warning, message), the quoting of file texts inside a message, and
// the lines the checker prints. Tested by sitecheck_test.cc.
#pragma once

#include <string>
#include <vector>

struct Finding {
  std::string file;     // the file's name inside the site directory
  int line = 0;         // from 1; 0 for a finding about the whole file
  bool error = true;    // false: a warning, which leaves the exit status 0
  std::string message;  // plain English; texts from the files only through Quoted
};

struct FindingsRec {
  std::vector<Finding> list;  // in the order found: site file, pages, user file
  int errors = 0;
  int warnings = 0;
};
extern FindingsRec Findings;  // filled by the checks of one run

void AddError(const std::string& file, int line, const std::string& message);
void AddWarning(const std::string& file, int line, const std::string& message);

// The text safe to print on a terminal: bytes below 0x20, 0x7F and 0x80..0x9F
// (which a terminal may take as control sequences) and the backslash are
// written as \xNN. File names are printed through here.
std::string Printable(const std::string& text);

// Printable(text) in double quotes; a text longer than 60 bytes is cut there
// and "..." added. Every text from a site file reaches a message through here.
std::string Quoted(const std::string& text);

// "file:line: error: message" ("file: warning: message" for line 0), one per
// finding, then the summary "SITE: N errors, M warnings".
std::vector<std::string> ReportLines(const std::string& site);

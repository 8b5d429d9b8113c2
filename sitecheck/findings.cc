// findings.cc: the list of findings and how they are printed (see findings.h).
#include "sitecheck/findings.h"

#include <cstdio>

FindingsRec Findings;

namespace {

constexpr size_t kLongestQuote = 60;

void Add(const std::string& file, int line, bool error, const std::string& message) {
  Findings.list.push_back(Finding{file, line, error, message});
  if (error) {
    ++Findings.errors;
  } else {
    ++Findings.warnings;
  }
}

std::string Count(int n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}  // namespace

void AddError(const std::string& file, int line, const std::string& message) {
  Add(file, line, true, message);
}

void AddWarning(const std::string& file, int line, const std::string& message) {
  Add(file, line, false, message);
}

std::string Printable(const std::string& text) {
  std::string out;
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out;
}

std::string Quoted(const std::string& text) {
  if (text.size() <= kLongestQuote) return "\"" + Printable(text) + "\"";
  return "\"" + Printable(text.substr(0, kLongestQuote)) + "...\"";
}

std::vector<std::string> ReportLines(const std::string& site) {
  std::vector<std::string> lines;
  for (const Finding& f : Findings.list) {
    std::string where = Printable(f.file);  // a name from the directory may hold any byte
    if (f.line > 0) where += ":" + std::to_string(f.line);
    lines.push_back(where + ": " + (f.error ? "error: " : "warning: ") + f.message);
  }
  lines.push_back(site + ": " + Count(Findings.errors, "error") + ", " +
                  Count(Findings.warnings, "warning"));
  return lines;
}

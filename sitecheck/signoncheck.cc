// signoncheck.cc: the user file and the free addresses (see signoncheck.h).
// The rules follow the sign-on: the first line of a user name decides, names
// and passwords are compared with the form's values as the browser encodes
// them, a "FREEIPS" entry is read without its first and last byte and the list
// ends at its first empty entry.
#include "sitecheck/signoncheck.h"

#include <algorithm>
#include <map>
#include <vector>

#include "common/boxfiles.h"
#include "sitecheck/findings.h"
#include "sitecheck/sitecheck.h"
#include "sitecheck/textcheck.h"
#include "toolkit/strobj.h"

namespace {

constexpr int kUserFields = 3;  // user;password;start page (further fields are not read)
constexpr char kAllClients[] = "(ALL)";

// The start page as the sign-on uses it: while it is at least 3 bytes long,
// a last byte below "0" (blanks, "-", ".", "/") is dropped.
std::string TrimmedStartPage(const std::string& page) {
  std::string out = page;
  while (out.size() >= 3 && static_cast<unsigned char>(out.back()) < '0') out.pop_back();
  return out;
}

// What a form field's value needs so that the browser sends it as written: a
// blank arrives as "+", every byte but letters, digits, "*-._" (and the "%" and
// "+" of an encoding already written) as "%XX". Empty when it is sent as written.
std::string EncodingHint(const std::string& text) {
  if (text.find(' ') != std::string::npos)
    return "a blank, which the browser sends as \"+\": write \"+\" in its place";
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9') || std::string("*-._%+").find(ch) != std::string::npos;
    if (!plain)
      return "characters the browser sends as %XX (\"!\" as %21): write them so";
  }
  return "";
}

bool IsAddressByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.' ||
         c == ':';
}

}  // namespace

void CheckUserFile() {
  const std::string file = UserFilePath("", CheckSettings.site);
  std::vector<std::string> lines;
  bool unended = false;
  if (!ReadCheckedLines(UserFilePath(CheckSettings.dir, CheckSettings.site), &lines, &unended)) {
    AddError(file, 0, "the user file cannot be read; nobody can sign on");
    return;
  }
  // The sign-on reads a last line without LF too.
  CheckFileText(file, &lines, unended, false);
  std::map<std::string, int> first_line_of;
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
    const auto seen = first_line_of.find(user);
    if (seen != first_line_of.end()) {
      AddError(file, line_no,
               "the user " + Quoted(user) + " is listed on line " + IntToStrS(seen->second) +
                   " already; the sign-on reads the first line only");
      continue;
    }
    first_line_of[user] = line_no;
    std::string hint = EncodingHint(user);
    if (!hint.empty()) AddError(file, line_no, "the user name " + Quoted(user) + " holds " + hint);
    hint = EncodingHint(StrGetIndex(line, 2, ';'));
    if (!hint.empty())
      AddError(file, line_no, "the password of the user " + Quoted(user) + " holds " + hint);
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

void CheckFreeIps(const std::string& file, int line_no, const std::string& list) {
  if (list.empty()) return;
  const std::string head = "the FREEIPS entry ";
  for (int n = 1;; ++n) {
    const std::string entry = StrGetIndex(list, n, ';');
    if (entry.empty()) {
      // The server stops at the first empty entry; one at the very end is harmless.
      const int total = static_cast<int>(std::count(list.begin(), list.end(), ';')) + 1;
      for (int k = n + 1; k <= total; ++k) {
        if (StrGetIndex(list, k, ';').empty()) continue;
        AddError(file, line_no, "FREEIPS has an empty entry; the server reads no entry after it");
        break;
      }
      return;
    }
    if (entry == kAllClients) {
      if (n > 1)
        AddError(file, line_no,
                 head + "\"(ALL)\" admits everybody only as the first entry; here nobody");
      continue;
    }
    if (entry.size() <= 2) {
      AddError(file, line_no, head + Quoted(entry) + " admits nobody");
      continue;
    }
    const std::string prefix = entry.substr(1, entry.size() - 2);
    if (IsAddressByte(entry.front()) || IsAddressByte(entry.back())) {
      AddError(file, line_no,
               head + Quoted(entry) + " is read without its first and last byte: it admits the "
                   "addresses beginning " + Quoted(prefix) + "; enclose it: " +
                   Quoted("(" + entry + ")"));
    } else if (!std::all_of(prefix.begin(), prefix.end(), IsAddressByte)) {
      AddError(file, line_no,
               head + Quoted(entry) + " admits nobody: " + Quoted(prefix) +
                   " is no address prefix");
    }
  }
}

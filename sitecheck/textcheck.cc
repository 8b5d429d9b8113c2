// textcheck.cc: the byte and key rules shared by the site files (see textcheck.h).
#include "sitecheck/textcheck.h"

#include "sitecheck/findings.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// Whether text holds a UTF-8 sequence of two to four bytes. In ISO-8859-1 text
// such a pair ("\xC3\xBC", an A tilde and a quarter) is next to never meant.
bool HoldsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t more = c >= 0xC2 && c <= 0xDF   ? 1
                        : c >= 0xE0 && c <= 0xEF ? 2
                        : c >= 0xF0 && c <= 0xF4 ? 3
                                                 : 0;
    if (more == 0 || i + more >= text.size()) continue;
    bool all = true;
    for (size_t k = 1; k <= more; ++k)
      all = all && IsContinuation(static_cast<unsigned char>(text[i + k]));
    if (all) return true;
  }
  return false;
}

}  // namespace

void CheckFileText(const std::string& file, std::vector<std::string>* lines, bool last_unended,
                   bool last_line_lost) {
  std::vector<std::string>& l = *lines;
  if (!l.empty() && l[0].compare(0, 3, kByteOrderMark) == 0) {
    AddError(file, 1,
             "the file begins with a UTF-8 byte-order mark, which the server reads as part of "
             "the first line and so loses that line: save it as ISO-8859-1 without one");
    l[0].erase(0, 3);
  }
  bool utf8 = false;
  bool cr_alone = false;
  for (size_t i = 0; i < l.size(); ++i) {
    const int line_no = static_cast<int>(i) + 1;
    if (!utf8 && HoldsUtf8(l[i])) {
      utf8 = true;
      AddError(file, line_no,
               "UTF-8 bytes: the server takes each byte as one ISO-8859-1 character, so every "
               "umlaut shows as two; save the file as ISO-8859-1 or write entities (&uuml;)");
    }
    const size_t cr = l[i].find('\r');
    if (!cr_alone && cr != std::string::npos && cr + 1 < l[i].size()) {
      cr_alone = true;
      AddError(file, line_no,
               "line ends of CR alone: the server reads the lines from here on as one line; "
               "save the file with LF or CR LF line ends");
    }
  }
  if (last_line_lost && last_unended && l.back().size() >= 2)
    AddWarning(file, static_cast<int>(l.size()),
               "the last line has no line end: the server does not read it until Sheetmaker "
               "rewrites the file; end it with a line end");
}

KeyFit JudgeKeyLine(const std::string& line, const std::vector<std::string>& keys,
                    const std::vector<std::pair<std::string, std::string>>& elsewhere,
                    const std::string& place, std::string* hint) {
  for (const std::string& key : keys)
    if (line.compare(0, key.size() + 1, key + "=") == 0) return KeyFit::kRead;
  const size_t eq = line.find('=');
  if (eq == std::string::npos) {
    *hint = "the line " + Quoted(line) + " is no KEY=value line; the server ignores it";
    return KeyFit::kUnknown;
  }
  const std::string written = line.substr(0, eq);
  const std::string key = StrTrim(written);
  for (const std::string& k : keys) {
    if (key == k) {
      *hint = Quoted(line) + " has blanks around \"=\": the server reads no " + k +
              " there; write " + k + "=value";
      return KeyFit::kMeant;
    }
    if (StrUpper(key) == StrUpper(k)) {
      *hint = Quoted(written) + " is not read: keys are case-sensitive; write " + k;
      return KeyFit::kMeant;
    }
  }
  for (const auto& other : elsewhere) {
    if (StrUpper(key) == StrUpper(other.first)) {
      *hint = other.first + " belongs in " + other.second + "; the server ignores it in " + place;
      return KeyFit::kMeant;
    }
  }
  *hint = "unknown key " + Quoted(written) + " in " + place + "; the server ignores the line";
  return KeyFit::kUnknown;
}

// strobj.cc: the toolkit's functions on string objects: numbered fields,
// key/value extraction, trimming, upper-casing with the German umlauts,
// replacing and number <-> text conversions. Nearly all of the programs' text
// parsing (requests, site and page lines, ";"-lists) goes through here.
// Holds no state; reports no errors. Tested by strobj_test.cc.
#include "strobj.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <sstream>

namespace {

constexpr int kMaxDecimals = 9;              // cap of C_FloatToStrF
constexpr size_t kMaxFormatLen = 5;          // longest format text FloatToStrS takes
constexpr size_t kMaxReplaceRounds = 1 << 16;  // StringReplace gives up after this many

// printf into a string of the exact size the formatting needs.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int need = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (need <= 0) return std::string();
  std::string out(static_cast<size_t>(need) + 1, '\0');
  va_start(args, format);
  vsnprintf(&out[0], out.size(), format, args);
  va_end(args);
  out.resize(static_cast<size_t>(need));
  return out;
}

}  // namespace

std::string StrUpper(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(toupper(static_cast<unsigned char>(c)));
    if (u == 0xF6) u = 0xD6;
    else if (u == 0xFC) u = 0xDC;
    else if (u == 0xE4) u = 0xC4;
    c = static_cast<char>(u);
  }
  return out;
}

int StrFindPosChar(const std::string& text, int start, char c) {
  if (start < 0) return -1;
  for (size_t p = static_cast<size_t>(start); p < text.size(); ++p)
    if (text[p] == c) return static_cast<int>(p);
  return -1;
}

std::string StrReplaceChar(const std::string& text, char find, char replacement) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\0') break;
    if (c == find) c = replacement;
  }
  return out;
}

void ReplaceChar(std::string& text, char find, char replacement) {
  std::replace(text.begin(), text.end(), find, replacement);
}

std::string StrTrimLeft(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string StrTrimRight(const std::string& text) {
  size_t last = text.find_last_not_of(' ');
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string StrTrim(const std::string& text) { return StrTrimRight(StrTrimLeft(text)); }

void AnsiReverseCString(std::string& text) { std::reverse(text.begin(), text.end()); }

std::string StrGetIndex(const std::string& text, int n, char sep) {
  if (n < 1) return std::string();
  std::string result = text;
  if (n == 1) {
    int at = StrFindPosChar(text, 0, sep);
    return at >= 0 ? text.substr(0, static_cast<size_t>(at)) : text;
  }
  // The first search starts at position 1, so a separator in the first byte
  // does not end a field here: "&b&c" has "c" as field 2. Request texts rely on it.
  int pos = 0;
  for (int i = 1; i < n; ++i) {
    pos = StrFindPosChar(text, pos + 1, sep);
    if (pos < 0) return std::string();
  }
  result = text.substr(static_cast<size_t>(pos) + 1);
  size_t end = result.find(sep);
  return end == std::string::npos ? result : result.substr(0, end);
}

std::string StrGetKeyRow(const std::string& key, const std::string& text) {
  std::string prefix = key + "=";
  if (text.compare(0, prefix.size(), prefix) != 0) return std::string();
  return text.substr(prefix.size());
}

std::string StrGetKey(const std::string& key, const std::string& text, char sep) {
  // With sep in front of the text and the pattern, a key at the very start is
  // found and a key that only ends a longer one (XSP for SP) is not.
  std::string list = sep + text;
  std::string pattern = sep + key + "=";
  size_t at = list.find(pattern);
  if (at == std::string::npos) return std::string();
  std::string value = list.substr(at + pattern.size());
  size_t end = value.find(sep);
  return end == std::string::npos ? value : value.substr(0, end);
}

std::string StrRemoveFirstEntry(const std::string& text) {
  size_t at = text.find(';');
  if (at == std::string::npos || at + 1 == text.size()) return std::string();
  return text.substr(at);
}

std::string StringReplace(const std::string& text, const std::string& from, const std::string& to) {
  std::string result = text;
  if (from.empty()) return result;
  if (to.find(from) != std::string::npos) {
    // Rescanning would never end: replace each occurrence of the original
    // text once, left to right, without searching the replacements.
    size_t at = result.find(from);
    while (at != std::string::npos) {
      result.replace(at, from.size(), to);
      at = result.find(from, at + to.size());
    }
    return result;
  }
  // Every search would restart at 0; the text before the last replacement
  // holds no occurrence, so starting from.size() - 1 bytes before it finds the
  // same first occurrence. Rules like "ab" -> "bbaa" grow for ever-longer:
  // the work is bounded by a round count and a size no ordinary text reaches.
  const size_t max_size = (text.size() + 1) * (to.size() + 1);
  size_t at = result.find(from);
  for (size_t rounds = 0;
       at != std::string::npos && result.size() <= max_size && rounds < kMaxReplaceRounds;
       ++rounds) {
    result.replace(at, from.size(), to);
    size_t back = std::min(at, from.size() - 1);
    at = result.find(from, at - back);
  }
  return result;
}

std::string IntToStrS(int v) { return Format("%d", v); }

std::string C_IntToStr(int v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

int C_StrToInt(const std::string& text) {
  std::istringstream in(text);
  int v = 0;
  // On a value out of range the stream stores the nearest int limit; with no
  // digits it stores 0.
  in >> v;
  return v;
}

double C_StrToFloat(const std::string& text) {
  std::string copy = text;
  ReplaceChar(copy, ',', '.');
  std::istringstream in(copy);
  double v = 0.0;
  in >> v;
  return v;
}

std::string C_FloatToStrF(double value, int decimals) {
  decimals = std::min(decimals, kMaxDecimals);
  if (decimals >= 0) return Format("%.*f", decimals, value);
  std::string out = Format("%f", value);
  while (!out.empty() && out.back() == '0') out.pop_back();
  return out;
}

std::string FloatToStrS(double value, const std::string& format) {
  // The format text becomes part of a printf format: only flags, a width and a
  // precision may pass ("5.2", "-8.3"), never a conversion, "*" or "%".
  if (format.size() > kMaxFormatLen) return std::string();
  bool seen_point = false;
  for (char c : format) {
    if (c == '.') {
      if (seen_point) return std::string();
      seen_point = true;
    } else if (!isdigit(static_cast<unsigned char>(c)) && c != '-' && c != '+' && c != ' ' &&
               c != '#') {
      return std::string();
    }
  }
  std::string conversion = "%" + format + "f";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return Format(conversion.c_str(), value);
#pragma GCC diagnostic pop
}

std::string StrGetKeyVal(const std::string& key, const std::string& text) {
  size_t at = text.find(key);
  if (at == std::string::npos) return std::string();
  std::string value = text.substr(at + key.size());
  size_t end = value.find(';');
  return end == std::string::npos ? value : value.substr(0, end);
}

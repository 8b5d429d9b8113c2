// pageheader.cc: ReadPageHeader (see pageheader.h).
#include "common/pageheader.h"

#include <climits>
#include <cstdlib>

#include "toolkit/strobj.h"

namespace {

// A code of a header line, read as atoi reads it (leading blanks, sign, digits),
// but clamped to the int range instead of overflowing on a long digit run.
int ReadCode(const std::string& text) {
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}

}  // namespace

void ReadPageHeader(const std::string& text, int* code, std::string* param) {
  if (text.find('=', 1) != std::string::npos) {
    *code = ReadCode(StrGetIndex(text, 1, '='));
    *param = StrGetIndex(text, 2, '=');
  } else {
    *code = ReadCode(text);
    param->clear();
  }
}

// toolkit_fuzz.cc: the toolkit's field and number functions over any bytes.
// Input: byte 0 the separator, byte 1 the field number (-1 .. 10), then a
// first line (a key, a pattern, a printf format) and the text as the rest.
// Promises checked: the C-string and string-object fields agree where their
// rules meet, every integer's text reads back as the same integer, and number
// texts fit the buffers the toolkit promises.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "toolkit/cstr.h"
#include "toolkit/strobj.h"

using fuzzsupport::Require;

namespace {

void FuzzFields(const std::string& key, const std::string& text, int n, char sep) {
  const std::string field = StrGetIndex(text, n, sep);
  Require(field.size() <= text.size(), "a field is part of its text");
  StrGetKeyRow(key, text);
  StrGetKey(key, text, sep);
  StrGetKeyVal(key, text);
  StrRemoveFirstEntry(text);
  StringReplace(text, key, field);

  // As a C string the text ends at its first NUL byte.
  const std::string ctext = text.substr(0, text.find('\0'));
  if (n >= 1 && (ctext.empty() || ctext[0] != sep)) {
    char buffer[65];
    const int got = StrCGetIndex(buffer, 64, n, ctext.c_str(), sep);
    if (got >= 0) {
      Require(StrGetIndex(ctext, n, sep) == buffer, "StrCGetIndex agrees with StrGetIndex");
      Require(static_cast<size_t>(got) == strlen(buffer), "StrCGetIndex returns the field length");
    }
  }
  const std::string ckey = key.substr(0, key.find('\0'));
  StrCFind(ctext.c_str(), ckey.c_str());
  StrCCount(ctext.c_str(), sep);
  StrPos(ctext.c_str(), sep, n);
  free(StrCReplace(ctext.c_str(), ckey.c_str(), field.c_str()));
  free(StrCsubstr(ctext.c_str(), n, n * 3));
  free(StrCLeft(ctext.c_str(), static_cast<unsigned>(n)));
  free(StrCRight(ctext.c_str(), static_cast<unsigned>(n)));

  std::string copy = ctext;
  StrCTrim(&copy[0]);
  Require(StrTrim(ctext) == copy.c_str(), "StrCTrim agrees with StrTrim");
}

void FuzzNumbers(const std::string& format, const std::string& text, int n) {
  const std::string ctext = text.substr(0, text.find('\0'));
  bool ok = false;
  const int i = StrCToInt(ctext.c_str(), ok);
  Require(ok, "StrCToInt reads every text");
  char* int_text = IntToStrC(i);
  Require(StrCToInt(int_text, ok) == i, "IntToStrC reads back");
  free(int_text);
  char fixed[12];
  Require(IntToStrCFix(fixed, i) == static_cast<int>(strlen(fixed)), "IntToStrCFix length");
  free(IntToStrCF(i, n));

  const int s = C_StrToInt(text);
  Require(C_StrToInt(IntToStrS(s)) == s, "IntToStrS reads back");
  Require(C_IntToStr(s) == IntToStrS(s), "C_IntToStr agrees with IntToStrS");

  const double d = StrCToFloat(ctext.c_str(), ',', ok);
  const double e = C_StrToFloat(text);
  const int decimals = n > 9 ? 9 : n;
  free(FloatToStrCF(d, decimals));
  free(FloatToStrCF(e, decimals));
  C_FloatToStrF(d, decimals);
  C_FloatToStrF(e, decimals);
  FloatToStrS(d, format);
  FloatToStrS(e, format);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const char sep = static_cast<char>(data[0]);
  const int n = static_cast<int>(data[1] % 12) - 1;
  const auto pieces = fuzzsupport::SplitLines(data + 2, size - 2, 2);
  FuzzFields(pieces[0], pieces[1], n, sep);
  FuzzNumbers(pieces[0], pieces[1], n);
  return 0;
}

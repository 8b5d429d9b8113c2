// cstr.cc: the toolkit's functions on NUL-terminated byte strings and the
// number <-> text conversions with fixed digit counts and a decimal comma.
// Every function answers a null text with its fixed value and never reads or
// writes past a NUL or a stated buffer size. Holds no state.
// Tested by cstr_test.cc.
#include "cstr.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(sizeof(int) == 4, "the 12-byte number buffers assume a 32-bit int");

namespace {

constexpr int kIntTextSize = 12;      // "-2147483648" and its NUL
constexpr int kFloatTextSize = 64;    // the smallest buffer FloatToStrCF returns
constexpr int kMaxFloatTextLen = 30;  // longer texts are refused by StrCToFloat
constexpr int kMaxDigits = 9;         // cap of IntToStrCF and FloatToStrCF

// A new buffer holding the len bytes at from, terminated; null when len <= 0.
char* NewPiece(const char* from, int len) {
  if (len <= 0) return nullptr;
  char* piece = static_cast<char*>(malloc(static_cast<size_t>(len) + 1));
  if (!piece) return nullptr;
  memcpy(piece, from, static_cast<size_t>(len));
  piece[len] = '\0';
  return piece;
}

// The byte count of text[start .. start + count - 1] cut at the end of the text;
// 0 or less when nothing is left.
int CutCount(const char* text, int start, int count) {
  int len = static_cast<int>(strlen(text));
  if (start < 0 || start >= len || count <= 0) return 0;
  return std::min(count, len - start);
}

}  // namespace

int StrPos(const char* text, char c, int start) {
  if (!text || start < 0) return -1;
  int len = static_cast<int>(strlen(text));
  for (int p = start; p < len; ++p)
    if (text[p] == c) return p;
  return -1;
}

char ExtToupper(char c) {
  switch (static_cast<unsigned char>(c)) {
    case 0xE4: return '\xC4';
    case 0xF6: return '\xD6';
    case 0xFC: return '\xDC';
    default: return static_cast<char>(toupper(static_cast<unsigned char>(c)));
  }
}

char* StrCUpper(char* text) {
  if (!text) return nullptr;
  for (char* p = text; *p; ++p) *p = ExtToupper(*p);
  return text;
}

char* StrCLower(char* text) {
  if (!text) return nullptr;
  for (char* p = text; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
  return text;
}

char* StrCReplaceChar(char* text, char find, char replacement) {
  if (!text) return nullptr;
  for (char* p = text; *p; ++p)
    if (*p == find) *p = replacement;
  return text;
}

char* StrCLeft(const char* text, unsigned count) {
  if (!text) return nullptr;
  size_t len = std::min(strlen(text), static_cast<size_t>(count));
  return NewPiece(text, static_cast<int>(len));
}

char* StrCRight(const char* text, unsigned count) {
  if (!text) return nullptr;
  size_t total = strlen(text);
  size_t len = std::min(total, static_cast<size_t>(count));
  return NewPiece(text + (total - len), static_cast<int>(len));
}

char* StrCsubstr(const char* text, int start, int count) {
  if (!text) return nullptr;
  int len = CutCount(text, start, count);
  return len > 0 ? NewPiece(text + start, len) : nullptr;
}

int StrCsubstrPar(char* dest, int size, const char* text, int start, int count) {
  if (!text || !dest || size <= 0) return 0;
  int len = CutCount(text, start, count);
  if (len + 1 > size) return 0;
  if (len > 0) memcpy(dest, text + start, static_cast<size_t>(len));
  dest[len] = '\0';
  return len;
}

void StrCsubstrProc(const char* text, char*& dest, int start, int count) {
  // A negative count promises no byte of room at all, so nothing is written.
  if (!dest || count < 0) return;
  int len = text ? CutCount(text, start, count) : 0;
  if (len > 0) memcpy(dest, text + start, static_cast<size_t>(len));
  dest[len] = '\0';
}

int StrCAnsiReverse(char* text) {
  if (!text) return 0;
  size_t len = strlen(text);
  std::reverse(text, text + len);
  return static_cast<int>(len);
}

int StrCToInt(const char* text, bool& ok) {
  if (!text) {
    ok = false;
    return 0;
  }
  ok = true;
  // atoi leaves out-of-range values undefined; take the nearest int limit, as
  // atoi does on the 32-bit target.
  long long v = strtoll(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

char* IntToStrC(int v) {
  char* text = static_cast<char*>(malloc(kIntTextSize));
  if (text) snprintf(text, kIntTextSize, "%i", v);
  return text;
}

int IntToStrCFix(char* buffer, int v) {
  if (!buffer) return 0;
  int len = 0;
  int rest = v;
  // Each digit from |rest % 10|, never from -v: -v overflows for INT_MIN.
  do {
    int digit = rest % 10;
    buffer[len++] = static_cast<char>('0' + (digit < 0 ? -digit : digit));
    rest /= 10;
  } while (rest != 0);
  if (v < 0) buffer[len++] = '-';
  buffer[len] = '\0';
  return StrCAnsiReverse(buffer);
}

char* IntToStrCF(int v, int digits) {
  digits = std::min(digits, kMaxDigits);
  char* text = static_cast<char*>(malloc(kIntTextSize));
  if (!text) return nullptr;
  if (digits <= 0) {
    snprintf(text, kIntTextSize, "%i", v);
  } else {
    // At least `digits` characters, the sign included, zeros after the sign.
    snprintf(text, kIntTextSize, "%0*i", digits, v);
  }
  return text;
}

double StrCToFloat(const char* text, char c, bool& ok) {
  (void)c;  // kept for the callers; it never changed the result
  ok = true;
  if (!text || strlen(text) > kMaxFloatTextLen) {
    ok = false;
    return 0.0;
  }
  char local[kMaxFloatTextLen + 1];
  strcpy(local, text);
  StrCReplaceChar(local, ',', '.');
  // strtod is atof without the undefined behaviour on out-of-range values.
  return strtod(local, nullptr);
}

char* FloatToStrCF(double value, int decimals) {
  decimals = std::min(decimals, kMaxDigits);
  int need = decimals < 0 ? snprintf(nullptr, 0, "%f", value)
                          : snprintf(nullptr, 0, "%.*f", decimals, value);
  if (need < 0) need = 0;
  // Large values print more than 64 bytes ("%f" of 1e300 has over 300 digits):
  // the buffer grows to fit instead of being overrun.
  size_t size = std::max(kFloatTextSize, need + 1);
  char* text = static_cast<char*>(calloc(size, 1));
  if (!text) return nullptr;
  if (decimals < 0) {
    snprintf(text, size, "%f", value);
    for (size_t len = strlen(text); len > 0 && text[len - 1] == '0'; --len)
      text[len - 1] = '\0';
  } else {
    snprintf(text, size, "%.*f", decimals, value);
  }
  return text;
}

int StrCFindFromPos(int start, const char* text, const char* pattern) {
  if (!text || !pattern || start < 0 || !*pattern) return -1;
  int len = static_cast<int>(strlen(text));
  int plen = static_cast<int>(strlen(pattern));
  // Every position is tried as a start, so "aab" finds "ab" at 1 although the
  // first candidate at 0 fails only on its second byte.
  for (int p = start; p + plen <= len; ++p)
    if (memcmp(text + p, pattern, static_cast<size_t>(plen)) == 0) return p;
  return -1;
}

int StrCFind(const char* text, const char* pattern) {
  return StrCFindFromPos(0, text, pattern);
}

int StrCCompareN(const char* text1, const char* text2, int start, int count) {
  if (!text1 || !text2 || start < 0 || count < 0) return 0;
  size_t end = static_cast<size_t>(start) + static_cast<size_t>(count);
  if (strnlen(text1, end) < end || strnlen(text2, end) < end) return 0;
  return memcmp(text1 + start, text2 + start, static_cast<size_t>(count)) == 0 ? 1 : 0;
}

int StrCCount(const char* text, char c) {
  if (!text) return 0;
  int n = 0;
  for (const char* p = text; *p; ++p)
    if (*p == c) ++n;
  return n;
}

char* StrCReplace(const char* text, const char* pattern, const char* replacement) {
  if (!text || !pattern || !replacement) return nullptr;
  char* result = strdup(text);
  if (!result || !*pattern) return result;
  size_t plen = strlen(pattern);
  size_t rlen = strlen(replacement);
  int a = StrCFind(result, pattern);
  while (a >= 0) {
    size_t len = strlen(result);
    size_t at = static_cast<size_t>(a);
    char* grown = static_cast<char*>(malloc(len - plen + rlen + 1));
    if (!grown) {
      free(result);
      return nullptr;
    }
    memcpy(grown, result, at);
    memcpy(grown + at, replacement, rlen);
    memcpy(grown + at + rlen, result + at + plen, len - at - plen + 1);
    free(result);
    result = grown;
    // Continue after the replacement: it is never searched again.
    a = StrCFindFromPos(static_cast<int>(at + rlen), result, pattern);
  }
  return result;
}

int StrCGetIndex(char* dest, int capacity, int n, const char* text, char sep) {
  if (!dest || !text) return -1;
  const char* field = text;
  const char* end = text + strlen(text);
  if (n >= 1) {
    // Skip the separators that end fields 1 .. n - 1; a NUL separator ends none.
    for (int i = 1; i < n; ++i) {
      const char* at = sep ? strchr(field, sep) : nullptr;
      if (!at) {
        if (capacity >= 0) dest[0] = '\0';
        return 0;
      }
      field = at + 1;
    }
    const char* at = sep ? strchr(field, sep) : nullptr;
    if (at) end = at;
  }
  int len = static_cast<int>(end - field);
  if (len > capacity) return -len;
  memcpy(dest, field, static_cast<size_t>(len));
  dest[len] = '\0';
  return len;
}

void StrCTrimLeft(char* text) {
  if (!text) return;
  size_t lead = 0;
  while (text[lead] == ' ') ++lead;
  if (lead > 0) memmove(text, text + lead, strlen(text + lead) + 1);
}

void StrCTrimRight(char* text) {
  if (!text) return;
  for (size_t len = strlen(text); len > 0 && text[len - 1] == ' '; --len) text[len - 1] = '\0';
}

void StrCTrim(char* text) {
  StrCTrimLeft(text);
  StrCTrimRight(text);
}

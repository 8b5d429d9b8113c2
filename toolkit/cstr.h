// cstr.h: the toolkit's functions on NUL-terminated byte strings (ISO-8859-1):
// searching, cutting, counting, replacing, reversing, trimming, German-aware
// upper-casing and number <-> text conversions that accept a decimal comma.
// A null text is never an error; each function answers it with a fixed value.
// "new" results are heap buffers the caller releases with free().
// Tested by cstr_test.cc.
#pragma once

// Position of the first c at or after start, or -1 (also for a start at or past the end).
int StrPos(const char* text, char c, int start);
// Upper case with the three German umlauts (0xE4, 0xF6, 0xFC); every other byte via toupper.
char ExtToupper(char c);
// In place; each returns its argument (null for null).
char* StrCUpper(char* text);
char* StrCLower(char* text);
char* StrCReplaceChar(char* text, char find, char replacement);
// New buffers of exactly the piece's length + 1; null when the piece is empty.
char* StrCLeft(const char* text, unsigned count);
char* StrCRight(const char* text, unsigned count);
char* StrCsubstr(const char* text, int start, int count);
// Copies the piece into dest only if size > 0 and piece length + 1 <= size; returns the
// bytes copied, else 0 with dest untouched.
int StrCsubstrPar(char* dest, int size, const char* text, int start, int count);
// dest holds at least count + 1 bytes; receives the piece or the empty text.
void StrCsubstrProc(const char* text, char*& dest, int start, int count);
// Reverses in place; returns the length.
int StrCAnsiReverse(char* text);
// atoi, out-of-range values at the nearest int limit; ok false only for a null text.
int StrCToInt(const char* text, bool& ok);
// New 12-byte buffer with "%i".
char* IntToStrC(int v);
// Writes the decimal text of v into buffer (at least 12 bytes); returns its length.
int IntToStrCFix(char* buffer, int v);
// New 12-byte buffer, zero-padded to digits (at most 9; <= 0 means plain "%i").
char* IntToStrCF(int v, int digits);
// atof after "," -> "."; ok false for null or a text longer than 30 bytes. c is unused.
double StrCToFloat(const char* text, char c, bool& ok);
// New buffer of 64 bytes (more when the text needs it); decimals < 0: "%f" without trailing zeros; else "%0.<d>f" (d <= 9).
char* FloatToStrCF(double value, int decimals);
// First occurrence of pattern at or after start, or -1; overlapping candidates are found.
int StrCFindFromPos(int start, const char* text, const char* pattern);
int StrCFind(const char* text, const char* pattern);
// 1 if both texts have start + count bytes and agree on bytes start..start+count-1.
int StrCCompareN(const char* text1, const char* text2, int start, int count);
int StrCCount(const char* text, char c);
// New copy with every occurrence replaced; the replacement is never searched again.
char* StrCReplace(const char* text, const char* pattern, const char* replacement);
// Field n (from 1) at sep into dest (capacity + 1 bytes). Returns its length, 0 when
// absent, minus the field length when it does not fit, -1 for a null text or buffer.
int StrCGetIndex(char* dest, int capacity, int n, const char* text, char sep);
// In place, spaces (0x20) only.
void StrCTrimLeft(char* text);
void StrCTrimRight(char* text);
void StrCTrim(char* text);

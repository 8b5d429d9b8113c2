// strobj.h: the toolkit's functions on string objects: numbered fields at a
// one-byte separator, key/value extraction, trimming, upper-casing with the
// German umlauts, replacing, and number <-> text conversions. Arguments are
// never changed (except by AnsiReverseCString and ReplaceChar); each function
// returns a new string. Nothing here reports errors: unusable input gives the
// empty text, 0 or -1. Tested by strobj_test.cc.
#pragma once

#include <string>

std::string StrUpper(const std::string& text);
// Position of the first c at or after start, or -1.
int StrFindPosChar(const std::string& text, int start, char c);
// Copy with every find replaced, up to the first NUL byte.
std::string StrReplaceChar(const std::string& text, char find, char replacement);
// In place over the whole length, NUL bytes included.
void ReplaceChar(std::string& text, char find, char replacement);
std::string StrTrimLeft(const std::string& text);
std::string StrTrimRight(const std::string& text);
std::string StrTrim(const std::string& text);
void AnsiReverseCString(std::string& text);
// Field n (from 1) of text at sep; the empty text for an empty or absent field.
// A separator in the first byte is not counted for n >= 2.
std::string StrGetIndex(const std::string& text, int n, char sep);
// The rest of text after key + "=" when text begins with it, else the empty text.
std::string StrGetKeyRow(const std::string& key, const std::string& text);
// The value of key + "=" inside a sep-delimited list, else the empty text.
std::string StrGetKey(const std::string& key, const std::string& text, char sep);
// From the first ";" (inclusive) to the end; empty when none or it is the last byte.
std::string StrRemoveFirstEntry(const std::string& text);
// Replaces until no occurrence of from remains; every search restarts at 0.
// An empty from gives a copy; a to containing from is replaced once per occurrence.
std::string StringReplace(const std::string& text, const std::string& from, const std::string& to);
std::string IntToStrS(int v);
std::string C_IntToStr(int v);
int C_StrToInt(const std::string& text);
double C_StrToFloat(const std::string& text);
std::string C_FloatToStrF(double value, int decimals);
// printf "%" + format + "f"; the empty text unless format is at most 5 bytes of
// flags, width and precision.
std::string FloatToStrS(double value, const std::string& format);
// The text after the first occurrence of key, up to the next ";".
std::string StrGetKeyVal(const std::string& key, const std::string& text);

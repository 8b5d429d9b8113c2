// strobj_test.cc: tests of the string-object toolkit (strobj.cc): the field
// rules of StrGetIndex, key/value extraction, trimming, the rescanning
// StringReplace and the conversions; also checks that the C-string and the
// string-object versions agree over generated inputs.
#include "strobj.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "cstr.h"

namespace {

struct FieldCase {
  const char* text;
  int n;
  const char* want;
};

TEST(StrGetIndex, Fields) {
  static const FieldCase kCases[] = {
      {"a&b&c", 1, "a"}, {"a&b&c", 2, "b"}, {"a&b&c", 3, "c"}, {"a&b&c", 4, ""},
      {"a&&c", 2, ""},   {"a&&c", 3, "c"},  {"a&b&", 3, ""},   {"a&b&", 2, "b"},
      {"abc", 1, "abc"}, {"abc", 2, ""},    {"", 1, ""},       {"", 2, ""},
      {"&", 1, ""},      {"&", 2, ""},      {"ab&", 1, "ab"},  {"SP=X&sid=1", 2, "sid=1"},
      // A separator in the first byte ends field 1 but is skipped when
      // looking for field 2 and later.
      {"&b&c", 1, ""},   {"&b&c", 2, "c"},  {"&b&c", 3, ""},   {"&&c", 2, "c"},
      // Field numbers below 1 give the empty text.
      {"a&b", 0, ""},    {"a&b", -3, ""},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.want, StrGetIndex(c.text, c.n, '&')) << '"' << c.text << "\" #" << c.n;
}

TEST(StrGetIndex, Latin1Separator) {
  EXPECT_EQ("b", StrGetIndex("a\xFC" "b\xFC" "c", 2, '\xFC'));
  EXPECT_EQ("c", StrGetIndex("a@b@c", 3, '@'));
}

struct KeyCase {
  const char* key;
  const char* text;
  const char* want;
};

TEST(StrGetKeyRow, KeyAndEqualsAtStart) {
  static const KeyCase kCases[] = {
      {"FILEVERS", "FILEVERS=3", "3"},   {"FILEVERS", "FILEVERSION=3", ""},
      {"FILEVERS", "FILEVERS=", ""},     {"a", "A=1", ""},
      {"sid", "sid=a=b&c", "a=b&c"},     {"sid", " sid=1", ""},
      {"FILEVERS", "FILEVERS", ""},      {"", "=x", "x"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.want, StrGetKeyRow(c.key, c.text)) << c.key << " in " << c.text;
}

TEST(StrGetKey, ValueInList) {
  static const KeyCase kCases[] = {
      {"SP", "XSP=1&SP=2&Z=3", "2"}, {"Z", "XSP=1&SP=2&Z=3", "3"},
      {"XSP", "XSP=1&SP=2&Z=3", "1"}, {"Q", "XSP=1&SP=2&Z=3", ""},
      {"SP", "XSP=1", ""},            {"SP", "SP=", ""},
      {"SP", "SP=a=b&c", "a=b"},      {"sp", "SP=1", ""},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.want, StrGetKey(c.key, c.text, '&')) << c.key << " in " << c.text;
}

TEST(StrGetKeyVal, UpToSemicolon) {
  EXPECT_EQ("5", StrGetKeyVal("T=", "A=1;T=5;B=2"));
  EXPECT_EQ("2", StrGetKeyVal("B=", "A=1;T=5;B=2"));
  EXPECT_EQ("", StrGetKeyVal("C=", "A=1;T=5"));
  EXPECT_EQ("=1", StrGetKeyVal("A", "XA=1;A=2"));  // first occurrence, even inside a key
}

TEST(StrRemoveFirstEntry, FromFirstSemicolon) {
  EXPECT_EQ(";b;c", StrRemoveFirstEntry("a;b;c"));
  EXPECT_EQ("", StrRemoveFirstEntry("abc;"));
  EXPECT_EQ("", StrRemoveFirstEntry("abc"));
  EXPECT_EQ(";;", StrRemoveFirstEntry(";;"));
  EXPECT_EQ("", StrRemoveFirstEntry(""));
}

TEST(StrUpper, Umlauts) {
  EXPECT_EQ("GR\xDCN", StrUpper("gr\xFCn"));
  EXPECT_EQ("\xC4\xD6\xDC\xDF", StrUpper("\xE4\xF6\xFC\xDF"));
  EXPECT_EQ("\xE9", StrUpper("\xE9"));
  const std::string with_nul("a\0b", 3);
  EXPECT_EQ(std::string("A\0B", 3), StrUpper(with_nul));
}

TEST(StrTrim, SpacesOnly) {
  EXPECT_EQ("a", StrTrimRight("a  "));
  EXPECT_EQ("", StrTrimRight("   "));
  EXPECT_EQ("a", StrTrimRight("a"));
  EXPECT_EQ("  a", StrTrimRight("  a "));
  EXPECT_EQ("a ", StrTrimLeft("  a "));
  EXPECT_EQ("", StrTrimLeft("  "));
  EXPECT_EQ("ab", StrTrim("  ab  "));
  EXPECT_EQ("\tab\t", StrTrim("\tab\t"));
  EXPECT_EQ("", StrTrim(""));
}

TEST(ReplaceChar, NulRules) {
  const std::string text("a,b\0,c", 6);
  EXPECT_EQ(std::string("a.b\0,c", 6), StrReplaceChar(text, ',', '.'));
  std::string in_place = text;
  ReplaceChar(in_place, ',', '.');
  EXPECT_EQ(std::string("a.b\0.c", 6), in_place);
  std::string reversed = "ab\xFC";
  AnsiReverseCString(reversed);
  EXPECT_EQ("\xFC" "ba", reversed);
}

struct StringReplaceCase {
  const char* text;
  const char* from;
  const char* to;
  const char* want;
};

TEST(StringReplace, RescansFromStart) {
  static const StringReplaceCase kCases[] = {
      {"a%20b%20c", "%20", " ", "a b c"},
      {"abb", "ab", "a", "a"},        // each replacement forms a new "ab"
      {"aabb", "ab", "", ""},         // so does the text around a removal
      {"xaabbx", "ab", "", "xx"},
      {"%2525", "%25", "%", "%"},     // "%25" formed by the first replacement
      {"abc", "x", "y", "abc"},
      {"", "a", "b", ""},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.want, StringReplace(c.text, c.from, c.to)) << c.text << " " << c.from;
}

TEST(StringReplace, UnusableArgumentsEnd) {
  EXPECT_EQ("abc", StringReplace("abc", "", "z"));
  // A replacement containing the searched text is replaced once per occurrence.
  EXPECT_EQ("aXXbXXc", StringReplace("aXbXc", "X", "XX"));
  // A rule that only moves bytes needs many rounds and ends.
  EXPECT_EQ("bbbaaa", StringReplace("ababab", "ab", "ba"));
  // "ab" -> "bbaa" grows for ever longer: the work stops at a bounded size.
  std::string bounded = StringReplace(std::string(40, 'a') + "b", "ab", "bbaa");
  EXPECT_LE(bounded.size(), 1000u);
}

TEST(Conversions, IntText) {
  const int values[] = {0, 7, -7, INT_MAX, INT_MIN};
  for (int v : values) {
    char want[12];
    snprintf(want, sizeof want, "%d", v);
    EXPECT_EQ(want, IntToStrS(v));
    EXPECT_EQ(want, C_IntToStr(v));
  }
}

TEST(Conversions, StrToInt) {
  static const struct {
    const char* text;
    int want;
  } kCases[] = {
      {"  42x", 42}, {"x", 0}, {"12abc", 12}, {"-3", -3}, {"+5", 5}, {"", 0},
      {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"\t\n8", 8}, {"- 3", 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.want, C_StrToInt(c.text)) << '"' << c.text << '"';
}

TEST(Conversions, StrToFloatDecimalComma) {
  EXPECT_DOUBLE_EQ(1.25, C_StrToFloat("1,25"));
  EXPECT_DOUBLE_EQ(3.5, C_StrToFloat("3,5"));
  EXPECT_DOUBLE_EQ(3.5, C_StrToFloat("3.5"));
  EXPECT_DOUBLE_EQ(-0.5, C_StrToFloat(" -0,5 V"));
  EXPECT_DOUBLE_EQ(0.0, C_StrToFloat("x"));
  EXPECT_DOUBLE_EQ(0.0, C_StrToFloat(""));
  EXPECT_DOUBLE_EQ(1.2, C_StrToFloat("1,2,3"));  // no grouping separator
}

TEST(Conversions, FloatToText) {
  static const struct {
    double v;
    int decimals;
    const char* want;
  } kCases[] = {
      {3.14159, 2, "3.14"}, {2.5, -1, "2.5"},     {3.0, -1, "3."},   {1.0, 12, "1.000000000"},
      {1.005, 0, "1"},      {-2.25, 1, "-2.2"},   {0.1, -1, "0.1"},  {100.0, -1, "100."},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.want, C_FloatToStrF(c.v, c.decimals)) << c.v << " " << c.decimals;
  EXPECT_EQ(301u + 3u, C_FloatToStrF(1e300, 2).size());
}

TEST(FloatToStrS, FormatText) {
  EXPECT_EQ(" 3.14", FloatToStrS(3.14159, "5.2"));
  EXPECT_EQ("3.1", FloatToStrS(3.14159, ".1"));
  EXPECT_EQ("3.141590", FloatToStrS(3.14159, ""));
  EXPECT_EQ("3.1  ", FloatToStrS(3.14159, "-5.1"));
  // Anything but flags, width and precision is refused: it would become a
  // conversion of its own.
  EXPECT_EQ("", FloatToStrS(1.0, "s%s"));
  EXPECT_EQ("", FloatToStrS(1.0, "*"));
  EXPECT_EQ("", FloatToStrS(1.0, "123456"));
  EXPECT_EQ("", FloatToStrS(1.0, "1.2.3"));
}

// The C-string and the string-object versions agree wherever their rules meet:
// fields of texts that do not begin with the separator, trimming, upper case.
TEST(Agreement, GeneratedTexts) {
  std::mt19937 rng(12345);
  const char alphabet[] = {'a', 'b', ';', ' ', '\xFC', '\xE4'};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    int len = static_cast<int>(rng() % 12);
    for (int i = 0; i < len; ++i) text += alphabet[rng() % sizeof alphabet];

    if (text.empty() || text[0] != ';') {
      for (int n = 1; n <= 5; ++n) {
        char buf[16];
        int got = StrCGetIndex(buf, 15, n, text.c_str(), ';');
        ASSERT_GE(got, 0);
        EXPECT_EQ(StrGetIndex(text, n, ';'), std::string(buf)) << '"' << text << "\" #" << n;
      }
    }

    std::vector<char> c_text(text.begin(), text.end());
    c_text.push_back('\0');
    StrCTrim(c_text.data());
    EXPECT_EQ(StrTrim(text), std::string(c_text.data())) << '"' << text << '"';
    StrCUpper(c_text.data());
    EXPECT_EQ(StrUpper(StrTrim(text)), std::string(c_text.data())) << '"' << text << '"';

    const char* patterns[] = {"ab", "a", ";;", "\xFC"};
    const char* pattern = patterns[rng() % 4];
    int want = static_cast<int>(text.find(pattern));
    EXPECT_EQ(want, StrCFind(text.c_str(), pattern)) << '"' << text << "\" " << pattern;
  }
}

}  // namespace

// cstr_test.cc: tests of the C-string toolkit (cstr.cc): buffer ownership and
// size refusals, field rules, searching with overlapping candidates, the
// non-rescanning replace and the number <-> text conversions.
#include "cstr.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Owns a "new" result of the toolkit; null stays null.
struct FreeDeleter {
  void operator()(char* p) const { free(p); }
};
using Owned = std::unique_ptr<char, FreeDeleter>;

// The text of an owned result, or "<null>".
std::string Text(const Owned& p) { return p ? std::string(p.get()) : std::string("<null>"); }

TEST(ExtToupper, UmlautsAndAscii) {
  EXPECT_EQ('\xC4', ExtToupper('\xE4'));
  EXPECT_EQ('\xD6', ExtToupper('\xF6'));
  EXPECT_EQ('\xDC', ExtToupper('\xFC'));
  EXPECT_EQ('\xDF', ExtToupper('\xDF'));  // sharp s has no capital here
  EXPECT_EQ('\xE9', ExtToupper('\xE9'));  // other Latin-1 letters stay
  EXPECT_EQ('A', ExtToupper('a'));
  EXPECT_EQ('1', ExtToupper('1'));
}

TEST(StrCUpperLower, InPlace) {
  char up[] = "gr\xFCn \xE4\xF6\xDF";
  EXPECT_EQ(up, StrCUpper(up));
  EXPECT_STREQ("GR\xDCN \xC4\xD6\xDF", up);
  char low[] = "\xC4" "B";
  EXPECT_EQ(low, StrCLower(low));
  EXPECT_STREQ("\xC4" "b", low);
  EXPECT_EQ(nullptr, StrCUpper(nullptr));
  EXPECT_EQ(nullptr, StrCLower(nullptr));
  EXPECT_EQ(nullptr, StrCReplaceChar(nullptr, 'a', 'b'));
  char rep[] = "1,2,3";
  EXPECT_STREQ("1.2.3", StrCReplaceChar(rep, ',', '.'));
}

TEST(StrPos, FindsFromStart) {
  EXPECT_EQ(1, StrPos("abab", 'b', 0));
  EXPECT_EQ(3, StrPos("abab", 'b', 2));
  EXPECT_EQ(-1, StrPos("abab", 'b', 4));
  EXPECT_EQ(-1, StrPos("abab", 'b', 40));
  EXPECT_EQ(-1, StrPos("abab", 'x', 0));
  EXPECT_EQ(-1, StrPos(nullptr, 'a', 0));
  EXPECT_EQ(-1, StrPos("abab", 'a', -1));
}

struct PieceCase {
  const char* text;
  int start;  // unused by Left/Right
  int count;
  const char* want;  // nullptr: no buffer
};

TEST(StrCLeftRight, PiecesAndNull) {
  const PieceCase left[] = {{"abc", 0, 5, "abc"}, {"abc", 0, 2, "ab"}, {"abc", 0, 0, nullptr},
                            {"", 0, 3, nullptr}};
  for (const auto& c : left) {
    Owned got(StrCLeft(c.text, static_cast<unsigned>(c.count)));
    EXPECT_EQ(c.want ? c.want : "<null>", Text(got)) << c.text << " " << c.count;
  }
  const PieceCase right[] = {{"abcdef", 0, 2, "ef"}, {"abc", 0, 9, "abc"}, {"abc", 0, 0, nullptr},
                             {"", 0, 1, nullptr}};
  for (const auto& c : right) {
    Owned got(StrCRight(c.text, static_cast<unsigned>(c.count)));
    EXPECT_EQ(c.want ? c.want : "<null>", Text(got)) << c.text << " " << c.count;
  }
  EXPECT_EQ(nullptr, StrCLeft(nullptr, 3));
  EXPECT_EQ(nullptr, StrCRight(nullptr, 3));
}

TEST(StrCsubstr, CutAtEnd) {
  const PieceCase cases[] = {
      {"abcdef", 4, 10, "ef"}, {"abcdef", 1, 3, "bcd"}, {"abcdef", 6, 1, nullptr},
      {"abcdef", 9, 1, nullptr}, {"abcdef", 0, 0, nullptr}, {"abcdef", 2, -1, nullptr},
      {"abcdef", -1, 3, nullptr},
  };
  for (const auto& c : cases) {
    Owned got(StrCsubstr(c.text, c.start, c.count));
    EXPECT_EQ(c.want ? c.want : "<null>", Text(got)) << c.start << "," << c.count;
  }
  EXPECT_EQ(nullptr, StrCsubstr(nullptr, 0, 1));
}

TEST(StrCsubstrPar, RefusesWhatDoesNotFit) {
  char buf[3] = {'#', '#', '#'};
  EXPECT_EQ(2, StrCsubstrPar(buf, 3, "abcdef", 1, 2));
  EXPECT_STREQ("bc", buf);

  char untouched[3] = {'#', '#', '#'};
  EXPECT_EQ(0, StrCsubstrPar(untouched, 3, "abcdef", 1, 3));
  EXPECT_EQ(0, memcmp(untouched, "###", 3));
  EXPECT_EQ(0, StrCsubstrPar(untouched, 0, "abcdef", 0, 0));
  EXPECT_EQ(0, StrCsubstrPar(untouched, -5, "abcdef", 0, 1));
  EXPECT_EQ(0, StrCsubstrPar(untouched, 3, nullptr, 0, 1));
  EXPECT_EQ(0, memcmp(untouched, "###", 3));

  // The count is cut at the end of the text before the size is checked.
  EXPECT_EQ(2, StrCsubstrPar(buf, 3, "abcdef", 4, 100));
  EXPECT_STREQ("ef", buf);
}

TEST(StrCsubstrProc, PieceOrEmpty) {
  char storage[8];
  char* buf = storage;
  StrCsubstrProc("abcdef", buf, 2, 3);
  EXPECT_STREQ("cde", buf);
  StrCsubstrProc("abcdef", buf, 5, 7);
  EXPECT_STREQ("f", buf);
  StrCsubstrProc("abcdef", buf, 6, 7);
  EXPECT_STREQ("", buf);
  strcpy(storage, "x");
  StrCsubstrProc(nullptr, buf, 0, 3);
  EXPECT_STREQ("", buf);
}

TEST(StrCAnsiReverse, ReversesAndCounts) {
  char text[] = "ab\xFC";
  EXPECT_EQ(3, StrCAnsiReverse(text));
  EXPECT_STREQ("\xFC" "ba", text);
  char empty[] = "";
  EXPECT_EQ(0, StrCAnsiReverse(empty));
  EXPECT_EQ(0, StrCAnsiReverse(nullptr));
}

TEST(StrCToInt, AtoiRules) {
  bool ok = false;
  EXPECT_EQ(42, StrCToInt("  42x", ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(0, StrCToInt("x", ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(-7, StrCToInt("-7", ok));
  EXPECT_EQ(INT_MAX, StrCToInt("99999999999", ok));
  EXPECT_EQ(INT_MIN, StrCToInt("-99999999999", ok));
  EXPECT_EQ(0, StrCToInt(nullptr, ok));
  EXPECT_FALSE(ok);
}

struct IntCase {
  int v;
  int digits;
  const char* want;
};

TEST(IntToStrCF, ZeroPaddedDigits) {
  const IntCase cases[] = {
      {5, 3, "005"},         {-5, 3, "-05"},     {7, 0, "7"},   {7, -2, "7"},
      {1234, 2, "1234"},     {5, 12, "000000005"}, {5, 9, "000000005"},
      {INT_MIN, 9, "-2147483648"}, {INT_MAX, 12, "2147483647"}, {-5, 1, "-5"},
  };
  for (const auto& c : cases) {
    Owned got(IntToStrCF(c.v, c.digits));
    EXPECT_EQ(c.want, Text(got)) << c.v << " digits " << c.digits;
  }
}

TEST(IntToStrCFix, MatchesPercentD) {
  const int values[] = {0, 1, -1, 9, 10, -120, 2147483647, INT_MIN, 1000000};
  for (int v : values) {
    char buf[12];
    memset(buf, '#', sizeof buf);
    char want[12];
    snprintf(want, sizeof want, "%d", v);
    EXPECT_EQ(static_cast<int>(strlen(want)), IntToStrCFix(buf, v)) << v;
    EXPECT_STREQ(want, buf);
    Owned plain(IntToStrC(v));
    EXPECT_EQ(want, Text(plain));
  }
}

TEST(StrCToFloat, DecimalCommaAndLength) {
  bool ok = false;
  EXPECT_DOUBLE_EQ(2.75, StrCToFloat("2,75", 'x', ok));
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(2.75, StrCToFloat("2.75", ',', ok));
  EXPECT_DOUBLE_EQ(0.0, StrCToFloat("abc", ',', ok));
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(-1.5, StrCToFloat("-1,5 V", ',', ok));

  std::string thirty(30, '1');
  thirty[1] = ',';
  EXPECT_DOUBLE_EQ(atof(("1." + thirty.substr(2)).c_str()), StrCToFloat(thirty.c_str(), ',', ok));
  EXPECT_TRUE(ok);
  std::string long_text = thirty + "1";
  EXPECT_DOUBLE_EQ(0.0, StrCToFloat(long_text.c_str(), ',', ok));
  EXPECT_FALSE(ok);
  ok = true;
  EXPECT_DOUBLE_EQ(0.0, StrCToFloat(nullptr, ',', ok));
  EXPECT_FALSE(ok);
}

struct FloatCase {
  double v;
  int decimals;
  const char* want;
};

TEST(FloatToStrCF, Decimals) {
  const FloatCase cases[] = {
      {1.5, -1, "1.5"},     {3.0, -1, "3."},          {1.005, 0, "1"},
      {3.14159, 2, "3.14"}, {1.0, 12, "1.000000000"}, {-0.25, -1, "-0.25"},
      {2.5, 9, "2.500000000"},
  };
  for (const auto& c : cases) {
    Owned got(FloatToStrCF(c.v, c.decimals));
    EXPECT_EQ(c.want, Text(got)) << c.v << " decimals " << c.decimals;
  }
  // A value whose text is longer than the usual 64 bytes comes out whole.
  Owned big(FloatToStrCF(1e300, 2));
  ASSERT_TRUE(big);
  EXPECT_EQ(304u, strlen(big.get()));
}

struct FindCase {
  int start;
  const char* text;
  const char* pattern;
  int want;
};

TEST(StrCFindFromPos, OverlappingCandidates) {
  const FindCase cases[] = {
      {0, "aab", "ab", 1},       {0, "abc", "x", -1},      {2, "abab", "ab", 2},
      {3, "abab", "ab", -1},     {0, "aaab", "aab", 1},    {0, "abababc", "ababc", 2},
      {0, "ab", "abc", -1},      {0, "abc", "abc", 0},     {9, "abc", "a", -1},
      {0, "abc", "", -1},        {-1, "abc", "a", -1},     {0, "", "a", -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.want, StrCFindFromPos(c.start, c.text, c.pattern))
        << c.start << " '" << c.text << "' '" << c.pattern << "'";
  EXPECT_EQ(1, StrCFind("aab", "ab"));
  EXPECT_EQ(-1, StrCFind(nullptr, "a"));
  EXPECT_EQ(-1, StrCFind("a", nullptr));
}

TEST(StrCCompareN, NeedsBothLongEnough) {
  EXPECT_EQ(1, StrCCompareN("abcd", "xbcx", 1, 2));
  EXPECT_EQ(0, StrCCompareN("abcd", "xbdx", 1, 2));
  EXPECT_EQ(0, StrCCompareN("ab", "ab", 1, 2));
  EXPECT_EQ(1, StrCCompareN("abc", "abc", 1, 2));
  EXPECT_EQ(0, StrCCompareN("abc", "ab", 0, 3));
  EXPECT_EQ(0, StrCCompareN(nullptr, "ab", 0, 1));
  EXPECT_EQ(0, StrCCompareN("ab", nullptr, 0, 1));
}

TEST(StrCCount, Occurrences) {
  EXPECT_EQ(2, StrCCount("a;b;c", ';'));
  EXPECT_EQ(0, StrCCount("abc", ';'));
  EXPECT_EQ(0, StrCCount(nullptr, ';'));
  EXPECT_EQ(1, StrCCount("\xFC" "a", '\xFC'));
}

struct ReplaceCase {
  const char* text;
  const char* pattern;
  const char* replacement;
  const char* want;
};

TEST(StrCReplace, NeverRescansReplacement) {
  const ReplaceCase cases[] = {
      {"aXbXc", "X", "XX", "aXXbXXc"},  // would grow without end if rescanned
      {"abc", "", "z", "abc"},
      {"a%20b%20c", "%20", " ", "a b c"},
      {"abb", "ab", "a", "ab"},  // the "ab" formed by the replacement stays
      {"aaa", "a", "", ""},
      {"XX", "X", "aXa", "aXaaXa"},
      {"abc", "x", "y", "abc"},
      {"", "a", "b", ""},
  };
  for (const auto& c : cases) {
    Owned got(StrCReplace(c.text, c.pattern, c.replacement));
    EXPECT_EQ(c.want, Text(got)) << c.text << " " << c.pattern << "->" << c.replacement;
  }
  EXPECT_EQ(nullptr, StrCReplace(nullptr, "a", "b"));
  EXPECT_EQ(nullptr, StrCReplace("a", nullptr, "b"));
  EXPECT_EQ(nullptr, StrCReplace("a", "a", nullptr));
}

struct GetIndexCase {
  const char* text;
  int capacity;
  int n;
  int want;            // return value
  const char* field;   // buffer afterwards; nullptr: untouched
};

TEST(StrCGetIndex, FieldsAndCapacity) {
  const GetIndexCase cases[] = {
      {"a;bb;c", 10, 1, 1, "a"},  {"a;bb;c", 10, 2, 2, "bb"}, {"a;bb;c", 10, 3, 1, "c"},
      {"a;bb;c", 10, 4, 0, ""},   {"a;bb;c", 1, 2, -2, nullptr}, {"a;bb;c", 2, 2, 2, "bb"},
      {"a;;c", 10, 2, 0, ""},     {"a;b;", 10, 3, 0, ""},     {";b;c", 10, 1, 0, ""},
      {";b;c", 10, 2, 1, "b"},    {"abc", 10, 1, 3, "abc"},   {"", 10, 1, 0, ""},
      {"", 10, 2, 0, ""},         {"a;b", 10, 0, 3, "a;b"},   {"a;b", 2, -1, -3, nullptr},
      {"abc", 2, 1, -3, nullptr}, {"abc", 0, 2, 0, ""},
  };
  for (const auto& c : cases) {
    char buf[16];
    memset(buf, '#', sizeof buf);
    buf[15] = '\0';
    EXPECT_EQ(c.want, StrCGetIndex(buf, c.capacity, c.n, c.text, ';'))
        << "'" << c.text << "' #" << c.n << " cap " << c.capacity;
    EXPECT_STREQ(c.field ? c.field : "###############", buf) << "'" << c.text << "' #" << c.n;
  }
  char buf[4];
  EXPECT_EQ(-1, StrCGetIndex(buf, 3, 1, nullptr, ';'));
  EXPECT_EQ(-1, StrCGetIndex(nullptr, 3, 1, "a", ';'));
}

TEST(StrCTrim, SpacesOnly) {
  char both[] = "  a b  ";
  StrCTrim(both);
  EXPECT_STREQ("a b", both);
  char spaces[] = "   ";
  StrCTrimRight(spaces);
  EXPECT_STREQ("", spaces);
  char left[] = "   x ";
  StrCTrimLeft(left);
  EXPECT_STREQ("x ", left);
  char tab[] = "\ta\t";
  StrCTrim(tab);
  EXPECT_STREQ("\ta\t", tab);
  StrCTrim(nullptr);  // nothing happens
}

}  // namespace

// formdecode_test.cc: the decoding table and the order of its rows.
#include "server/formdecode.h"

#include <gtest/gtest.h>

#include <random>

#include "toolkit/strobj.h"

namespace {

struct DecodeCase {
  const char* in;
  const char* want;
};
const DecodeCase kDecodeCases[] = {
    {"", ""},
    {"Abc", "Abc"},
    {"a+b%2Bc", "a b+c"},             // the "+" of row 26 is not a blank
    {"Gr%FCn", "Gr\xFCn"},
    {"gr%fcn", "gr%fcn"},             // lower-case hex stays
    {"%253A", ":"},                   // "%25" feeds the rows after it
    {"%25FC", "%FC"},                 // ... but not the rows before it
    {"%2525", "%"},                   // every search starts again at the beginning
    {"%26uuml%3B", "&uuml;"},         // the entity rows have already run
    {"&uuml;ber &Auml;&szuml;", "\xFC" "ber \xC4\xDF"},
    {"(1%29", "(1)"},
    {"100%", "100%"},
    {"%27%2D%2E%41", "'%2D%2E%41"},   // escapes outside the table stay
    {"%80", "%80"},
    {"%C4%D6%DC%E4%F6%FC%DF", "\xC4\xD6\xDC\xE4\xF6\xFC\xDF"},
    {"%20%21%22%23%24%26%28%29%2A%2C%2F", " !\"#$&()*,/"},
    {"%3A%3B%3C%3D%3E%3F%40%5B%5C%5D%5E%5F%60%7B%7C%7D%7E", ":;<=>?@[\\]^_`{|}~"},
    {"++", "  "},
    {"&uu&uuml;ml;", "&uu\xFCml;"},
};

TEST(DecodeFormText, AppliesTheTableInOrder) {
  for (const auto& c : kDecodeCases) EXPECT_EQ(c.want, DecodeFormText(c.in)) << c.in;
}

TEST(DecodeFormText, LongValueStaysLinear) {
  const std::string pluses(1 << 20, '+');
  EXPECT_EQ(std::string(1 << 20, ' '), DecodeFormText(pluses));
  std::string escapes;
  for (int i = 0; i < 100000; ++i) escapes += "%2525";
  EXPECT_EQ(std::string(100000, '%'), DecodeFormText(escapes));
}

// The one-pass replacement must agree with the toolkit's replace-until-none
// over texts built from the pieces the rows work on.
TEST(ReplaceUntilNone, AgreesWithStringReplace) {
  const char* pieces[] = {"%", "2", "5", "25", "%25", "3A", "+", "&", "uuml;", "x", "C", "a", "b"};
  const std::pair<const char*, const char*> rows[] = {
      {"%25", "%"}, {"%3A", ":"}, {"+", " "}, {"&uuml;", "\xFC"}, {"%2C", ","}, {"ab", "b"}};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 9);
    for (int i = 0; i < count; ++i) text += pieces[random() % (sizeof pieces / sizeof *pieces)];
    for (const auto& row : rows)
      ASSERT_EQ(StringReplace(text, row.first, row.second),
                ReplaceUntilNone(text, row.first, row.second))
          << text << " / " << row.first;
  }
}

}  // namespace

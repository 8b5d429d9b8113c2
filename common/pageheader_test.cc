// pageheader_test.cc: the header line of a page file, from single lines.
#include "common/pageheader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct HeaderCase {
  const char* text;  // the header line without its "#"
  int code;
  const char* param;
};

TEST(ReadPageHeader, CodeAndParameter) {
  const HeaderCase cases[] = {
      {"1000=Start", 1000, "Start"},
      {"1000=Start=Rest", 1000, "Start"},  // up to the second "="
      {"1000=", 1000, ""},
      {"1000", 1000, ""},
      {"9000=3", 9000, "3"},
      {" 3000", 3000, ""},                 // atoi skips leading blanks
      {"10000x", 10000, ""},
      {"abc", 0, ""},
      {"=5", 0, ""},                       // "=" only in the first byte: whole text
      {"99999999999999=P", 2147483647, "P"},  // clamped, not overflowed
  };
  for (const HeaderCase& c : cases) {
    int code = -7;
    std::string param = "old";
    ReadPageHeader(c.text, &code, &param);
    EXPECT_EQ(c.code, code) << c.text;
    EXPECT_EQ(c.param, param) << c.text;
  }
}

}  // namespace

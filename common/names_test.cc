// names_test.cc: the file-name check for request values.
#include "common/names.h"

#include <gtest/gtest.h>

TEST(IsValidName, AcceptsSiteAndPageNames) {
  for (const char* ok : {"TELVARINSERVER", "Haus_1", "a-b.c", "*", "Gr\xFCn", "x"})
    EXPECT_TRUE(IsValidName(ok)) << ok;
  EXPECT_TRUE(IsValidName(std::string(64, 'a')));
}

TEST(IsValidName, RefusesWhatCouldLeaveTheDirectory) {
  for (const char* bad : {"", "../etc", "a/b", "..", "a..b", "a b", "a;rm", "a%2F", "\xB0",
                          "a\\b", "$(x)"})
    EXPECT_FALSE(IsValidName(bad)) << bad;
  EXPECT_FALSE(IsValidName(std::string(65, 'a')));
  EXPECT_FALSE(IsValidName(std::string("a\0b", 3)));
  EXPECT_EQ("", ValidNameOrEmpty("../x"));
  EXPECT_EQ("Site", ValidNameOrEmpty("Site"));
}

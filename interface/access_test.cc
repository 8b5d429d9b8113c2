// access_test.cc: the daily code and the reading of the access file's first line.
#include "interface/access.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct DailyCase { int base, day, month; const char* want; };
const DailyCase kDailyCases[] = {
    {100, 1, 0, "306"},   // 1 January
    {0, 31, 11, "129"},   // 31 December: the month counts from 0
    {-50, 1, 0, "-144"},  // a negative base from the file is taken as read
    // A base near the top of int wraps as 32-bit arithmetic does on the box.
    {2147483647, 1, 0, "-2147483645"},
};

TEST(DailyCode, SumTimesThree) {
  for (const auto& c : kDailyCases)
    EXPECT_EQ(c.want, DailyCode(c.base, c.day, c.month)) << c.base << " " << c.day << "." << c.month;
}

class AuthFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/interface_access_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    dir_ = dir;
    path_ = dir_ + "/TELVARINSAUTH.DAT";
    now_.tm_mday = 5;
    now_.tm_mon = 2;  // 5 March: a "B" code is (5 + 2 + N + 1) * 3
  }
  void TearDown() override {
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }
  void Write(const std::string& bytes) {
    FILE* f = fopen(path_.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  std::string dir_, path_;
  std::tm now_{};
};

struct FileCase { std::string content; std::string want; };

TEST_F(AuthFile, FirstLineGivesTheCode) {
  const FileCase cases[] = {
      {"", ""},                        // no line: no code
      {"\n", ""},                      // a line of one byte counting its line feed
      {"X\n", ""},                     // mode letter without data
      {"X", ""},                       // one byte, no line feed
      {"XY", "Y"},                     // two bytes without a line feed still count
      {"Xgeheim\nXother\n", "geheim"}, // only the first line counts
      {"XGeheim%20\n", "Geheim%20"},   // taken as stored, nothing decoded
      {"Xgeh\r\n", "geh\r"},           // only the line feed is removed
      {"b100\n", "100"},               // lower-case b is a fixed code
      {"B100\n", "324"},
      {"B\n", ""},                     // a mode letter alone sets no code, in mode B too
      {"B", ""},
      {"B\r\n", "24"},                 // the CR is data: no digits, base 0
      {"Babc\n", "24"},
      {"B12xy\n", "60"},               // leading digits as atoi reads them
      {"B-3\n", "15"},
  };
  for (const auto& c : cases) {
    Write(c.content);
    EXPECT_EQ(c.want, ReadAuthFileAt(path_, now_)) << '"' << c.content << '"';
  }
}

TEST_F(AuthFile, MissingFileMeansNoCode) { EXPECT_EQ("", ReadAuthFileAt(path_, now_)); }

TEST_F(AuthFile, OnlyTheFirst255BytesOfALongLineAreRead) {
  Write("X" + std::string(299, 'a') + "\n");
  EXPECT_EQ(std::string(254, 'a'), ReadAuthFileAt(path_, now_));
}

TEST_F(AuthFile, DailyCodeChangesWithTheDayNotTheHour) {
  Write("B7\n");
  std::tm morning = now_, evening = now_, next_day = now_;
  morning.tm_hour = 0;
  evening.tm_hour = 23;
  next_day.tm_mday = 6;
  EXPECT_EQ(ReadAuthFileAt(path_, morning), ReadAuthFileAt(path_, evening));
  EXPECT_NE(ReadAuthFileAt(path_, evening), ReadAuthFileAt(path_, next_day));
}

}  // namespace

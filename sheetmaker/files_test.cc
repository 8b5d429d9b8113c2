// files_test.cc: ReadRawLines on the byte patterns the site files may hold,
// including a file longer than one read block.
#include "sheetmaker/files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> LinesOf(const std::string& bytes) {
  char path[] = "/tmp/files_test_XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
  close(fd);
  std::vector<std::string> lines{"left from before"};
  EXPECT_TRUE(ReadRawLines(path, &lines));
  unlink(path);
  return lines;
}

TEST(ReadRawLinesTest, CutsAtEachLineFeedOnly) {
  const struct {
    std::string bytes;
    std::vector<std::string> want;
  } cases[] = {
      {"", {}},
      {"ab\ncd\n", {"ab", "cd"}},
      {"ab\r\ncd", {"ab\r", "cd"}},               // CR stays; a last line without LF counts
      {"\n\n", {"", ""}},                         // empty lines are lines
      {std::string("a\0b\n\xFC\n", 6), {std::string("a\0b", 3), "\xFC"}},  // NUL and Latin-1 pass
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, LinesOf(c.bytes));
}

TEST(ReadRawLinesTest, ReadsPastOneBlock) {
  std::string bytes;
  std::vector<std::string> want;
  for (int i = 0; i < 20000; ++i) {  // about 200 KB, lines across every block edge
    want.push_back("OBJROW=WERT" + std::to_string(i) + "@x@1@@" + std::to_string(i));
    bytes += want.back() + "\n";
  }
  EXPECT_EQ(want, LinesOf(bytes));
}

// The record of a run that found no runtime counts for 30 s after its time.
TEST(NoRuntimeRecordTest, RecentOnlyWithinTheWindow) {
  char path[] = "/tmp/files_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  const long long now = 1700000000;
  ASSERT_TRUE(WriteNoRuntimeRecord(path, now - 5));
  EXPECT_TRUE(NoRuntimeRecordIsRecent(path, now, 30));
  EXPECT_FALSE(NoRuntimeRecordIsRecent(path, now + 25, 30));
  const struct {
    std::string content;
    bool recent;
  } cases[] = {
      {"1700000000\n", true},   {"1699999971\n", true},  {"1699999970\n", false},
      {"1700000001\n", false},  // after now: the clock was set back
      {"", false},               {"abc\n", false},        {"-5\n", false},
      {"17000000000000000000000\n", false},
  };
  for (const auto& c : cases) {
    FILE* file = fopen(path, "wb");
    ASSERT_NE(nullptr, file);
    fwrite(c.content.data(), 1, c.content.size(), file);
    fclose(file);
    EXPECT_EQ(c.recent, NoRuntimeRecordIsRecent(path, now, 30)) << c.content;
  }
  unlink(path);
  EXPECT_FALSE(NoRuntimeRecordIsRecent(path, now, 30));  // no record
}

TEST(ReadRawLinesTest, MissingFileIsFalse) {
  std::vector<std::string> lines;
  EXPECT_FALSE(ReadRawLines("/nonexistent/dir/file.SHT", &lines));
}

}  // namespace

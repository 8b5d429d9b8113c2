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

TEST(ReadRawLinesTest, MissingFileIsFalse) {
  std::vector<std::string> lines;
  EXPECT_FALSE(ReadRawLines("/nonexistent/dir/file.SHT", &lines));
}

}  // namespace

// linereader_test.cc: lines and their line ends as stored.
#include "common/linereader.h"

#include <gtest/gtest.h>

#include <vector>

#include "harness.h"

namespace {

TEST(ReadLine, EachLineWithWhetherItEndedInLf) {
  const std::string long_line(200000, 'x');
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;  // "+" after a line that ended in LF
  } cases[] = {
      {"", {}},
      {"\n", {"+"}},
      {"a\nb", {"a+", "b"}},
      {"a\r\n\r\n", {"a\r+", "\r+"}},
      {std::string("n\0l\n\xFC", 5), {std::string("n\0l+", 4), "\xFC"}},
      {long_line + "\n" + long_line, {long_line + "+", long_line}},
  };
  const std::string path = testsupport::MakeTempDir() + "/lines";
  for (const Case& c : cases) {
    testsupport::WriteFile(path, c.bytes);
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    std::vector<std::string> got;
    std::string text;
    bool ended_lf = true;
    while (ReadLine(file, &text, &ended_lf)) got.push_back(text + (ended_lf ? "+" : ""));
    fclose(file);
    EXPECT_EQ(c.lines, got) << c.bytes.substr(0, 20);
    EXPECT_TRUE(text.empty() && !ended_lf);
  }
}

}  // namespace

// workfiles_test.cc: the directory part of a work-file field.
#include "interface/workfiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DirCase { std::string file; std::string want; };

TEST(WorkFileDir, TextBeforeTheLastInnerSlash) {
  const DirCase cases[] = {
      {"/home/pi/web/file.txt", "/home/pi/web"},
      {"file.txt", ""},
      {"/a/b/", "/a"},           // a final "/" is not searched
      {"/web/a%20b.txt", "/web"},  // not decoded
      {"ab/c", "ab"},
      {"/x", ""},                // found only in the first byte: empty
      {"//", ""},
      {"a/", ""},
      {"/", "/"},                // fewer than two bytes: taken whole
      {"a", "a"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, WorkFileDir(c.file)) << '"' << c.file << '"';
}

TEST(WorkFileDir, LongFieldsAreHandledWhole) {
  const std::string dir = "/" + std::string(300, 'd');
  EXPECT_EQ(dir, WorkFileDir(dir + "/" + std::string(300, 'f')));
}

}  // namespace

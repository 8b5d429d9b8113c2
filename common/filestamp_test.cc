// filestamp_test.cc: a file's stamp sees every rewrite, and its text.
#include "common/filestamp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "common/filerewrite.h"
#include "harness.h"

namespace {

TEST(StampOf, SeesRewriteAndGivesItsText) {
  const std::string dir = testsupport::MakeTempDir();
  const std::string path = dir + "/S.TVS";
  testsupport::WriteFile(path, "a\n");
  const FileStamp before = StampOf(path);
  EXPECT_TRUE(before.exists);
  EXPECT_TRUE(SameStamp(before, StampOf(path)));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(std::to_string(st.st_ino) + "-" + std::to_string(st.st_mtim.tv_sec) + "-" +
                std::to_string(st.st_mtim.tv_nsec),
            StampText(before));
  // Same content, same second: the rename still shows, in the text too.
  ASSERT_TRUE(ReplaceFileContent(path, "a\n"));
  EXPECT_FALSE(SameStamp(before, StampOf(path)));
  EXPECT_NE(StampText(before), StampText(StampOf(path)));
  EXPECT_FALSE(StampOf(dir + "/none").exists);
  EXPECT_EQ("", StampText(StampOf(dir + "/none")));
  unlink(path.c_str());
  rmdir(dir.c_str());
}

}  // namespace

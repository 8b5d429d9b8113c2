// filerewrite_test.cc: whole-file replacement through a temporary file, and
// the in-place rewrite.
#include "common/filerewrite.h"

#include <dirent.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Rewrite : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/filerewrite_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    dir_ = dir;
  }
  void TearDown() override {
    for (const auto& name : Names()) unlink((dir_ + "/" + name).c_str());
    rmdir(dir_.c_str());
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(d);
    }
    return names;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
};

TEST_F(Rewrite, CreatesThenReplacesWholly) {
  const std::string path = dir_ + "/AUTH.DAT";
  ASSERT_TRUE(ReplaceFileContent(path, "Xa much longer first code\nsecond line\n"));
  EXPECT_EQ("Xa much longer first code\nsecond line\n", Read("AUTH.DAT"));
  ASSERT_TRUE(ReplaceFileContent(path, "Xb\n"));
  EXPECT_EQ("Xb\n", Read("AUTH.DAT"));  // nothing of the longer old content remains
  EXPECT_EQ(std::vector<std::string>{"AUTH.DAT"}, Names());  // no temporary file left
}

TEST_F(Rewrite, FailureLeavesTheOldFileAndNoTemporary) {
  const std::string path = dir_ + "/AUTH.DAT";
  ASSERT_TRUE(ReplaceFileContent(path, "Xold\n"));
  // The target is now a non-empty directory, so the rename over it must fail.
  const std::string blocked = dir_ + "/BLOCKED";
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  ASSERT_TRUE(ReplaceFileContent(blocked + "/inner", "x"));
  EXPECT_FALSE(ReplaceFileContent(blocked, "Xnew\n"));
  EXPECT_FALSE(ReplaceFileContent(dir_ + "/no-such-dir/AUTH.DAT", "Xnew\n"));
  EXPECT_EQ("Xold\n", Read("AUTH.DAT"));
  unlink((blocked + "/inner").c_str());
  rmdir(blocked.c_str());
  EXPECT_EQ(std::vector<std::string>{"AUTH.DAT"}, Names());
}

// A group goes in whole, with its modes and times, or not at all: the third
// path is a non-empty directory, so its rename fails after two files were placed.
TEST_F(Rewrite, PlacesAGroupWhollyOrPutsTheOldFilesBack) {
  ASSERT_TRUE(ReplaceFileContent(dir_ + "/A", "old A\n"));
  std::vector<PlacedFile> group = {{dir_ + "/A", "new A\n", 0664, -1},
                                   {dir_ + "/B", "new B\n", 0600, 1000},
                                   {dir_ + "/C", "new C\n", 0644, -1}};
  const std::string blocked = dir_ + "/C";
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  ASSERT_TRUE(ReplaceFileContent(blocked + "/inner", "x"));
  EXPECT_FALSE(PlaceFiles(group, dir_ + "/.stage.XXXXXX"));
  EXPECT_EQ("old A\n", Read("A"));
  EXPECT_EQ((std::vector<std::string>{"A", "C"}), [&] {
    auto names = Names();
    std::sort(names.begin(), names.end());
    return names;
  }());  // no B, no stage folder left
  unlink((blocked + "/inner").c_str());
  rmdir(blocked.c_str());

  EXPECT_TRUE(PlaceFiles(group, dir_ + "/.stage.XXXXXX"));
  EXPECT_EQ("new A\n", Read("A"));
  EXPECT_EQ("new C\n", Read("C"));
  struct stat st;
  ASSERT_EQ(0, stat((dir_ + "/A").c_str(), &st));
  EXPECT_EQ(0664u, st.st_mode & 07777);
  ASSERT_EQ(0, stat((dir_ + "/B").c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  EXPECT_EQ(1000, st.st_mtime);
  EXPECT_EQ(3u, Names().size());
}

TEST_F(Rewrite, InPlaceKeepsTheFileAndNeverFollowsALink) {
  const std::string path = dir_ + "/AUTH.DAT";
  ASSERT_TRUE(OverwriteFileInPlace(path, "Xa long first code\n"));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);  // a new file is the web server user's alone
  const ino_t inode = st.st_ino;
  ASSERT_EQ(0, chmod(path.c_str(), 0640));
  ASSERT_TRUE(OverwriteFileInPlace(path, "Xb\n"));
  EXPECT_EQ("Xb\n", Read("AUTH.DAT"));  // the old rest is cut
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(inode, st.st_ino);
  EXPECT_EQ(0640u, st.st_mode & 07777);
  // A link put in the file's place is not written through.
  const std::string link = dir_ + "/LINK.DAT";
  ASSERT_EQ(0, symlink(path.c_str(), link.c_str()));
  EXPECT_FALSE(OverwriteFileInPlace(link, "\n"));
  EXPECT_EQ("Xb\n", Read("AUTH.DAT"));
}

}  // namespace

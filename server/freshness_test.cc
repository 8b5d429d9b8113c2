// freshness_test.cc: when a site is compiled, and how the compiler is started.
#include "server/freshness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"
#include "common/config.h"

namespace {

struct TimeCase {
  FileTime site;
  FileTime af;
  bool compile;
};
const TimeCase kTimeCases[] = {
    {1700000000, 1700000300, true},    // site older: compile
    {1700000300, 1700000000, false},   // edited after the project changed
    {1700000000, 1700000000, false},   // equal times need nothing
    {std::nullopt, 1700000000, false}, // no site definition file
    {1700000000, std::nullopt, false}, // no AF time: no file, no "AF=" line, no AF file
    {-1, 0, true},                     // once the codes of unknown times; now times
};

TEST(SiteNeedsCompile, OnlyKnownTimesWithTheSiteOlder) {
  for (const auto& c : kTimeCases)
    EXPECT_EQ(c.compile, SiteNeedsCompile(c.site, c.af))
        << c.site.value_or(-999) << " / " << c.af.value_or(-999);
}

class Compiler : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir() + "/";
    program_ = dir_ + "Sheetmaker";
    // Records its arguments, one a line, and how many there were.
    testsupport::WriteFile(program_,
                           "#!/bin/sh\n"
                           "echo $# > '" + dir_ + "args'\n"
                           "for a in \"$@\"; do echo \"$a\" >> '" + dir_ + "args'; done\n"
                           "exit 3\n");
    chmod(program_.c_str(), 0755);
  }
  std::string Args() { return testsupport::ReadFile(dir_ + "args"); }
  std::string dir_;
  std::string program_;
};

TEST_F(Compiler, GetsTheSiteNameAsOneArgumentAndIsWaitedFor) {
  EXPECT_EQ(3, StartCompiler(program_, "HAUS"));  // its exit status
  EXPECT_EQ("1\nHAUS\n", Args());  // written before StartCompiler returned
  StartCompiler(program_, "*");     // no shell: no glob, no word splitting
  EXPECT_EQ("1\n*\n", Args());
}

TEST_F(Compiler, InvalidNamesStartNothing) {
  for (const char* name : {"", "a;touch x", "$(id)", "a b", "../HAUS"}) {
    StartCompiler(program_, name);
    EXPECT_FALSE(testsupport::FileExists(dir_ + "args")) << name;
  }
}

TEST_F(Compiler, MissingProgramChangesNothing) {
  StartCompiler(dir_ + "none", "HAUS");
  EXPECT_FALSE(testsupport::FileExists(dir_ + "args"));
}

}  // namespace

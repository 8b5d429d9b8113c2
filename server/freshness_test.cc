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
  bool record_current;
  bool compile;
};
const TimeCase kTimeCases[] = {
    {1700000000, 1700000300, true, true},    // site older: compile
    {1700000300, 1700000000, true, false},   // edited after the project changed
    {1700000000, 1700000000, true, false},   // equal times need nothing
    {std::nullopt, 1700000000, true, false}, // no site definition file
    {1700000000, std::nullopt, true, false}, // no AF time: no file, no "AF=" line, no AF file
    {-1, 0, true, true},                     // once the codes of unknown times; now times
    // The record says the project is not the one compiled against.
    {1700000300, 1700000000, false, true},
    {1700000000, 1700000000, false, true},
    {std::nullopt, 1700000000, false, false},
    {1700000000, std::nullopt, false, false},
};

TEST(SiteNeedsCompile, OnlyKnownTimesWithTheSiteOlderOrAnotherProject) {
  for (const auto& c : kTimeCases)
    EXPECT_EQ(c.compile, SiteNeedsCompile(c.site, c.af, c.record_current))
        << c.site.value_or(-999) << " / " << c.af.value_or(-999) << " / " << c.record_current;
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

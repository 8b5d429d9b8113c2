// runprogram_test.cc: the exit status and the standard streams of a child.
#include "common/runprogram.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"

namespace {

// A child that reads its input and writes to both output streams; the exit
// status and whether its output reached the file that stands in for this
// process's standard output tell how its streams were set.
TEST(RunProgramAndWait, StatusAndStreams) {
  const std::string dir = testsupport::MakeTempDir() + "/";
  const std::string program = dir + "child";
  testsupport::WriteFile(program, "#!/bin/sh\nread line; echo \"out:$line:$1\"; echo err >&2; exit 7\n");
  chmod(program.c_str(), 0755);
  struct Case {
    std::vector<std::string> argv;
    ChildStream out;
    int status;
    std::string written;
  } cases[] = {
      {{program, "a b"}, ChildStream::kDevNull, 7, ""},
      {{program, "*"}, ChildStream::kInherit, 7, "out::*\n"},  // no shell: no glob
      {{dir + "none"}, ChildStream::kInherit, -1, ""},
      {{"sh", "-c", "exit 0"}, ChildStream::kDevNull, 0, ""},  // found on PATH
      {{}, ChildStream::kInherit, -1, ""},
  };
  for (const Case& c : cases) {
    // This process's standard output points at a file while the child runs.
    const std::string out_path = dir + "stdout";
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int file = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_TRUE(saved >= 0 && file >= 0);
    dup2(file, STDOUT_FILENO);
    close(file);
    ChildStreams streams;
    streams.out = c.out;
    const int status = RunProgramAndWait(c.argv, streams);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    // Under an emulator (qemu-arm) a program that cannot be started is seen as
    // a child that ended with 127, as a shell reports it.
    if (c.status == -1 && status == 127 && !c.argv.empty()) continue;
    EXPECT_EQ(c.status, status) << (c.argv.empty() ? "" : c.argv[0]);
    EXPECT_EQ(c.written, testsupport::ReadFile(out_path)) << (c.argv.empty() ? "" : c.argv[0]);
  }
}

}  // namespace

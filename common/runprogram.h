// runprogram.h: the one way the programs run another program and wait for it:
// an argument vector, never a shell, each standard stream either inherited or
// on /dev/null as the caller says. Used by the compiler start of the page
// server and the runtime restart of the administration interface.
// Tested by runprogram_test.cc.
#pragma once

#include <string>
#include <vector>

// Where a child's standard stream goes.
enum class ChildStream { kInherit, kDevNull };

struct ChildStreams {
  ChildStream in = ChildStream::kDevNull;
  ChildStream out = ChildStream::kDevNull;
  ChildStream err = ChildStream::kDevNull;
};

// Runs argv[0] with argv as its arguments and waits for it to end. A program
// name without "/" is searched on PATH. Standard output is flushed first, so
// that a child writing into the same output comes after what this process wrote.
// Returns the child's exit status, or -1 when it could not be started or did not
// end normally (a signal).
int RunProgramAndWait(const std::vector<std::string>& argv, const ChildStreams& streams);

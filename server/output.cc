// output.cc: page lines to standard output (or to a test's capture buffer).
#include "server/output.h"

#include <cstdio>

namespace {
std::string* output_capture = nullptr;
}

void WriteLine(const std::string& line) {
  if (output_capture) {
    output_capture->append(line).push_back('\n');
    return;
  }
  fwrite(line.data(), 1, line.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

void SetOutputCapture(std::string* capture) { output_capture = capture; }

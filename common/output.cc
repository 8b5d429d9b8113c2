// output.cc: page lines to standard output (or to a test's capture buffer).
// The page is gathered in standard output's buffer and leaves in one write when
// the run ends (returning from main flushes it), or in pieces of
// kPageBufferBytes when it is larger: a line-by-line write and flush cost a
// system call per line, and a CGI page is read whole by the web server anyway.
// Measured by bench/run.sh; the pages themselves are tested by the program tests.
#include "common/output.h"

#include <cstdio>

namespace {
constexpr size_t kPageBufferBytes = 64 * 1024;  // a 200-row page is about 23 KB
std::string* output_capture = nullptr;
char page_buffer[kPageBufferBytes];

void BufferWholePage() {
  static bool done = false;
  if (done) return;
  done = true;
  setvbuf(stdout, page_buffer, _IOFBF, sizeof page_buffer);
}
}  // namespace

void WriteLine(const std::string& line) {
  if (output_capture) {
    output_capture->append(line).push_back('\n');
    return;
  }
  BufferWholePage();
  fwrite(line.data(), 1, line.size(), stdout);
  fputc('\n', stdout);
}

void FlushOutput() {
  if (!output_capture) fflush(stdout);
}

void SetOutputCapture(std::string* capture) { output_capture = capture; }

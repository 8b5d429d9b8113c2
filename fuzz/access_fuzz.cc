// access_fuzz.cc: the administration interface's access file reader over any
// file content, through a scratch file, at a date taken from the input.
// Promises checked: the code is one line (no line feed) of at most the bytes
// that are read, a daily code is a decimal number, and a mode letter alone
// sets no code.
#include <ctime>
#include <string>

#include "fuzz/fuzz_support.h"
#include "interface/access.h"

using fuzzsupport::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::tm now{};
  now.tm_mday = 1 + static_cast<int>(size % 31);
  now.tm_mon = static_cast<int>(size % 12);
  const std::string code = ReadAuthFileAt(fuzzsupport::WriteScratchFile(bytes), now);
  Require(code.find('\n') == std::string::npos, "the code is one line");
  Require(code.size() < 255, "the code comes from the first 255 bytes");
  if (size >= 2 && data[0] == 'B' && data[1] == '\n') {
    Require(code.empty(), "a mode letter alone sets no code");
  } else if (size >= 2 && data[0] == 'B') {
    Require(!code.empty() && code.find_first_not_of("-0123456789") == std::string::npos,
            "a daily code is a number");
  }
  return 0;
}

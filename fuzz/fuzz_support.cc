// fuzz_support.cc: input cutting, scratch files and the promise check of the
// fuzz targets (see fuzz_support.h).
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

namespace {

std::string scratch_dir;  // made on first use, removed at exit
std::vector<std::string> scratch_files;

void RemoveScratch() {
  for (const std::string& path : scratch_files) unlink(path.c_str());
  if (!scratch_dir.empty()) rmdir(scratch_dir.c_str());
}

const std::string& ScratchDir() {
  if (scratch_dir.empty()) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/telvarin-fuzz-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) Require(false, "a scratch folder can be made");
    scratch_dir = pattern;
    atexit(RemoveScratch);
  }
  return scratch_dir;
}

}  // namespace

std::vector<std::string> SplitLines(const uint8_t* data, size_t size, size_t parts) {
  std::vector<std::string> pieces;
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (pieces.size() + 1 < parts) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string::npos) break;
    pieces.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  pieces.push_back(start <= text.size() ? text.substr(start) : std::string());
  pieces.resize(parts);
  return pieces;
}

std::string WriteScratchFile(const std::string& bytes, int slot) {
  const std::string path = ScratchDir() + "/scratch" + std::to_string(slot);
  bool known = false;
  for (const std::string& p : scratch_files) known = known || p == path;
  if (!known) scratch_files.push_back(path);
  FILE* file = fopen(path.c_str(), "wb");
  Require(file != nullptr, "the scratch file can be written");
  const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  Require(fclose(file) == 0 && written, "the scratch file can be written");
  return path;
}

void Require(bool holds, const char* promise) {
  if (holds) return;
  fprintf(stderr, "fuzz: broken promise: %s\n", promise);
  abort();
}

}  // namespace fuzzsupport

// fuzz_support.h: what the fuzz targets share: cutting one input into the
// pieces a target needs, a scratch file that file readers can be pointed at,
// and the check that stops a target the moment a promise is broken.
// Used by every fuzz/*_fuzz.cc; the targets are run by libFuzzer or by
// replay_main.cc over fuzz/corpus/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The entry point every target defines (libFuzzer's name).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzzsupport {

// The input cut at its first parts - 1 line feeds: always exactly parts
// pieces, the last holding the rest (line feeds included); missing pieces are
// empty. Corpus files stay readable: one value per line, the free text last.
std::vector<std::string> SplitLines(const uint8_t* data, size_t size, size_t parts);

// Writes bytes as the whole content of this process's scratch file (one per
// slot, in a private temporary folder removed at exit) and returns its path.
std::string WriteScratchFile(const std::string& bytes, int slot = 0);

// Stops the run with a message when a promise of the code under test does not
// hold: libFuzzer records the input as a crash, the replay test fails.
void Require(bool holds, const char* promise);

}  // namespace fuzzsupport

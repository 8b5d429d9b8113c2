// compile_fuzz.cc: the compiler's line rewrite over any bytes: ReplaceField
// and CompilePageLine, with index lookups that answer from the name alone (no
// runtime). Input: byte 0 the field number (0 .. 9), byte 1 the separator, a
// first line with the value to put in, the page-file line as the rest.
// Promises checked: a replaced field reads back as the value, the separators
// stay, and lines other than object and macro rows come back unchanged.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "sheetmaker/compile.h"
#include "toolkit/strobj.h"

using fuzzsupport::Require;

namespace {

// Some names get an index, some are unknown (-1), some give a fault.
int StandInLookup(const std::string& name, CallOutcome* outcome) {
  const int index = static_cast<int>(name.size() % 5) - 1;
  *outcome = name.size() % 7 == 3 ? CallOutcome::kFault : CallOutcome::kOk;
  return index;
}

bool StartsWith(const std::string& text, const char* head) {
  return text.compare(0, std::char_traits<char>::length(head), head) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int n = data[0] % 10;
  const char sep = static_cast<char>(data[1]);
  const auto pieces = fuzzsupport::SplitLines(data + 2, size - 2, 2);
  const std::string& value = pieces[0];
  const std::string& line = pieces[1];

  const std::string replaced = ReplaceField(line, n, value, sep);
  const bool plain_value = value.find(sep) == std::string::npos;
  if (plain_value) {
    Require(std::count(replaced.begin(), replaced.end(), sep) ==
                std::count(line.begin(), line.end(), sep),
            "ReplaceField keeps every separator");
  }
  if (n >= 1 && plain_value && !value.empty() && replaced != line && !line.empty() && line[0] != sep) {
    Require(StrGetIndex(replaced, n, sep) == value, "the replaced field reads back");
  }

  bool runtime_gone = false;
  const std::string compiled = CompilePageLine(line, StandInLookup, StandInLookup, &runtime_gone);
  Require(!runtime_gone, "a lookup that answers is not a missing runtime");
  if (!StartsWith(line, kObjRowKey) && !StartsWith(line, kMacroKey)) {
    Require(compiled == line, "other lines stay as they are");
  }
  return 0;
}

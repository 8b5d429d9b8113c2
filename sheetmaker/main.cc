// main.cc: Sheetmaker site-name. Compiles the site's page files against the
// runtime's numbering (compile.h); writes nothing to standard output or error.
// The exit status is the run's; a run that fails unexpectedly ends with status
// 4, as one that could not reach the runtime (nothing more is changed).
#include <string>
#include <vector>

#include "sheetmaker/compile.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return RunSheetmaker(args);
  } catch (...) {
    return kExitNoRuntime;
  }
}

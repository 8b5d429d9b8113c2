// main.cc: Sheetmaker site-name. Compiles the site's page files against the
// runtime's numbering (compile.h); writes nothing to standard output or error.
#include <string>
#include <vector>

#include "sheetmaker/compile.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return RunSheetmaker(args);
}

// main.cc: TelvarinInterface, the administration interface CGI program. Hands
// the request to RunInterface (commands.h) and always ends with status 0.
#include <cstdlib>

#include "interface/commands.h"

int main() {
  RunInterface(std::getenv("QUERY_STRING"));
  return 0;
}

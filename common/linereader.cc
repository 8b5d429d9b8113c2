// linereader.cc: lines read with getline (see linereader.h); a byte at a time
// was a sixth of a 50-row page's instructions and more than the compiler's own
// work on a 1000-row site.
#include "common/linereader.h"

#include <sys/types.h>

#include <cstdlib>

bool ReadLine(std::FILE* file, std::string* text, bool* ended_lf) {
  char* buffer = nullptr;
  size_t capacity = 0;
  const ssize_t n = getline(&buffer, &capacity, file);
  if (n <= 0) {
    free(buffer);
    text->clear();
    *ended_lf = false;
    return false;
  }
  *ended_lf = buffer[n - 1] == '\n';
  text->assign(buffer, static_cast<size_t>(n) - (*ended_lf ? 1 : 0));
  free(buffer);
  return true;
}

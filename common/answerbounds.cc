// answerbounds.cc: the size and nesting check of a runtime answer (see
// answerbounds.h). One pass over the text, no allocation per byte.
#include "common/answerbounds.h"

#include <cstring>
#include <vector>

namespace {

bool IsNesting(const char* name, size_t length) {
  return (length == 5 && std::memcmp(name, "array", 5) == 0) ||
         (length == 6 && std::memcmp(name, "struct", 6) == 0);
}

// The tag's name: from its first byte up to a blank, "/" or its end.
size_t NameLength(const std::string& text, size_t from, size_t end) {
  size_t at = from;
  while (at < end && text[at] != ' ' && text[at] != '\t' && text[at] != '\r' &&
         text[at] != '\n' && text[at] != '/')
    ++at;
  return at - from;
}

}  // namespace

bool AnswerWithinBounds(const std::string& body) {
  if (body.size() > kMaxAnswerBytes) return false;
  // Open elements, each as (position of its name, length of its name).
  std::vector<std::pair<size_t, size_t>> open;
  int depth = 0;
  size_t at = 0;
  while ((at = body.find('<', at)) != std::string::npos) {
    const size_t end = body.find('>', at + 1);
    if (end == std::string::npos) return false;  // a tag that never ends
    const char first = at + 1 < end ? body[at + 1] : '\0';
    if (first == '?' || first == '!') {
      // A declaration or a comment opens nothing. A comment ends at "-->".
      if (body.compare(at, 4, "<!--") == 0) {
        const size_t close = body.find("-->", at + 4);
        if (close == std::string::npos) return false;
        at = close + 3;
      } else {
        at = end + 1;
      }
      continue;
    }
    if (first == '/') {
      const size_t length = NameLength(body, at + 2, end);
      if (open.empty() || open.back().second != length ||
          body.compare(open.back().first, length, body, at + 2, length) != 0)
        return false;
      if (IsNesting(body.data() + at + 2, length)) --depth;
      open.pop_back();
    } else if (body[end - 1] != '/') {
      const size_t length = NameLength(body, at + 1, end);
      if (length == 0) return false;
      open.emplace_back(at + 1, length);
      if (IsNesting(body.data() + at + 1, length) && ++depth > kMaxAnswerDepth) return false;
    }
    at = end + 1;
  }
  return open.empty();
}

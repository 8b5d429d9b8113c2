// files.cc: reading the site files, and the record of a run without runtime
// (see files.h).
#include "sheetmaker/files.h"

#include <cstdio>

#include "common/linereader.h"

bool ReadRawLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string text;
  bool ended_lf;
  // A last line without LF is kept too: a rewrite must not lose it.
  while (ReadLine(file, &text, &ended_lf)) lines->push_back(text);
  fclose(file);
  return true;
}

std::string DropCarriageReturn(const std::string& line) {
  if (!line.empty() && line.back() == '\r') return line.substr(0, line.size() - 1);
  return line;
}

bool WriteNoRuntimeRecord(const std::string& path, long long now) {
  return ReplaceFileContent(path, std::to_string(now) + "\n");
}

bool NoRuntimeRecordIsRecent(const std::string& path, long long now, long long window) {
  std::vector<std::string> lines;
  if (!ReadRawLines(path, &lines) || lines.empty()) return false;
  const std::string& text = lines[0];
  if (text.empty() || text.size() > 18) return false;
  long long when = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    when = when * 10 + (c - '0');
  }
  return when <= now && now - when < window;
}

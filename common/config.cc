// config.cc: the runtime's address from its control file, and the file times
// that decide whether a site must be compiled (see config.h). Both files belong
// to the runtime; only the lines named here are read.
#include "common/config.h"

#include <sys/stat.h>

#include <cstdio>

std::string AbKeURL;

namespace {

constexpr char kDefaultPort[] = "2110";
constexpr char kDefaultHost[] = "localhost";

// Reads one line as stored, its line feed included when there is one.
// Returns false at the end of the file.
bool ReadRawLine(FILE* file, std::string* line) {
  line->clear();
  int c;
  while ((c = fgetc(file)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line->empty();
}

void DropLineFeed(std::string* line) {
  if (!line->empty() && line->back() == '\n') line->pop_back();
}

}  // namespace

int LoadCfgFile(const std::string& path, const std::string& url_when_missing) {
  FILE* file = fopen(path.c_str(), "r");
  if (!file) {
    if (!url_when_missing.empty()) AbKeURL = url_when_missing;
    return 0;
  }
  std::string host = kDefaultHost;
  std::string port = kDefaultPort;
  std::string line;
  while (ReadRawLine(file, &line)) {
    DropLineFeed(&line);  // a carriage return before it stays part of the value
    if (line.empty()) continue;
    if (line[0] == 'I') host = line.substr(1);
    else if (line[0] == 'P') port = line.substr(1);
  }
  fclose(file);
  AbKeURL = "xmlrpc://" + host + ":" + port;
  return 1;
}

FileTime GetFileTime(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<long long>(st.st_mtime);
}

FileTime GetAFFileTime(const std::string& path) {
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return std::nullopt;  // no runtime configuration file
  std::string line;
  std::string af_path;
  bool found = false;
  while (ReadRawLine(file, &line)) {
    if (line.size() < 4) continue;  // as read, its line feed counted
    DropLineFeed(&line);
    if (line.compare(0, 3, "AF=") == 0) {
      af_path = line.substr(3);
      found = true;
      break;
    }
  }
  fclose(file);
  if (!found) return std::nullopt;  // no "AF=" line
  return GetFileTime(af_path);
}

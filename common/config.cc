// config.cc: the runtime's address from its control file, and the file times
// that decide whether a site must be compiled (see config.h). Both files belong
// to the runtime; only the lines named here are read.
#include "common/config.h"

#include <sys/stat.h>

#include <cstdio>

#include "common/linereader.h"

std::string AbKeURL;

namespace {

constexpr char kDefaultPort[] = "2110";
constexpr char kDefaultHost[] = "localhost";

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
  bool ended_lf;
  while (ReadLine(file, &line, &ended_lf)) {
    // A carriage return before the line feed stays part of the value.
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

std::optional<std::string> GetAFFilePath(const std::string& path) {
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return std::nullopt;  // no runtime configuration file
  std::string line;
  bool ended_lf;
  std::optional<std::string> af_path;
  while (ReadLine(file, &line, &ended_lf)) {
    if (line.size() + (ended_lf ? 1 : 0) < 4) continue;  // as stored, its line feed counted
    if (line.compare(0, 3, "AF=") == 0) {
      af_path = line.substr(3);
      break;
    }
  }
  fclose(file);
  return af_path;  // empty without an "AF=" line
}

FileTime GetAFFileTime(const std::string& path) {
  const std::optional<std::string> af_path = GetAFFilePath(path);
  if (!af_path) return std::nullopt;
  return GetFileTime(*af_path);
}

// users.cc: the sign-on check against the user file, the start page trim and
// the free client addresses (see users.h).
#include "server/users.h"

#include <cstdio>

#include "common/boxfiles.h"
#include "common/linereader.h"
#include "server/request.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kNoStartPage[] = "*No Start site defined for user";
constexpr char kNoUserFile[] = "*No valid user file - error opening file";
constexpr char kAllClients[] = "(ALL)";

// Reads one line without its line feed. Returns false at the end of the file.
// A last line without a line feed is read too: a user file saved without a
// final line end must not silently lock its last user out.
bool ReadUserLine(FILE* file, std::string* line) {
  bool ended_lf;
  return ReadLine(file, line, &ended_lf);
}

}  // namespace

std::string CheckWebUser(const std::string& user, const std::string& password) {
  const std::string path = UserFilePath(Request.BaseDir, Request.SiteName);
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return kNoUserFile;
  std::string result = kNoStartPage + user;
  std::string line;
  while (ReadUserLine(file, &line)) {
    if (line.size() < 2) continue;
    if (line.back() == '\r') line.pop_back();
    if (StrGetIndex(line, 1, ';') != user) continue;
    // The first line with this user name decides, whatever its password.
    if (StrGetIndex(line, 2, ';') == password) result = StrGetIndex(line, 3, ';');
    break;
  }
  fclose(file);
  return result;
}

std::string TrimStartPage(const std::string& page) {
  std::string out = page;
  while (out.size() >= 3 && static_cast<unsigned char>(out.back()) < '0') out.pop_back();
  return out;
}

bool IsFreeClient(const std::string& free_ips, const std::string& client_addr) {
  if (StrGetIndex(free_ips, 1, ';') == kAllClients) return true;
  for (int n = 1;; ++n) {
    const std::string entry = StrGetIndex(free_ips, n, ';');
    if (entry.empty()) return false;
    // An entry is written like "(ALL)": one byte on each side of the prefix.
    // One of one or two bytes leaves the empty prefix, which every address has.
    const std::string prefix = entry.size() > 2 ? entry.substr(1, entry.size() - 2) : "";
    if (client_addr.compare(0, prefix.size(), prefix) == 0) return true;
  }
}

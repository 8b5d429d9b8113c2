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

namespace {

bool IsAddressDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether addr begins with prefix and does not go on inside the prefix's last
// number: "10.0.0.1" is no prefix of 10.0.0.17.
bool IsAddressPrefix(const std::string& prefix, const std::string& addr) {
  if (addr.compare(0, prefix.size(), prefix) != 0) return false;
  if (addr.size() == prefix.size()) return true;
  if (!IsAddressDigit(static_cast<unsigned char>(prefix.back()))) return true;
  const char next = addr[prefix.size()];
  return next == '.' || next == ':';
}

}  // namespace

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
    if (entry.size() <= 2) continue;
    if (IsAddressPrefix(entry.substr(1, entry.size() - 2), client_addr)) return true;
  }
}

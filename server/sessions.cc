// sessions.cc: session files (see sessions.h). Holds no state in memory besides
// a test's clock; the files are the state.
#include "server/sessions.h"

#include <cstdio>

#include "common/boxfiles.h"
#include "common/names.h"
#include "server/request.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kSessionError[] = "*ERROR";
constexpr time_t kSessionIdOffset = 1268000000;

SessionClockFn session_clock = nullptr;

time_t Now() { return session_clock ? session_clock() : time(nullptr); }

// REMOTE_ADDR comes from the web server as an IPv4 or IPv6 address (with a
// zone after "%"); anything else is not used in a file name.
bool IsAddressText(const std::string& addr) {
  if (addr.empty()) return false;
  for (char ch : addr) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              c == '.' || c == ':' || c == '%';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string SessionFilePath(const std::string& id, const std::string& client_addr) {
  if (!IsValidName(id) || !IsAddressText(client_addr)) return std::string();
  return SessionFilePath(Request.BaseDir, Request.SiteName, id, client_addr);
}

std::string FormatTimeStamp(time_t when, char sep) {
  struct tm parts;
  if (!gmtime_r(&when, &parts)) return std::string();
  char text[64];
  snprintf(text, sizeof text, "%02d.%02d.%d%c%02d:%02d:%02d", parts.tm_mday, parts.tm_mon + 1,
           parts.tm_year + 1900, sep, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

std::string CreateSessionFile(const std::string& client_addr, const std::string& user) {
  const time_t now = Now();
  const std::string id = IntToStrS(static_cast<int>(now - kSessionIdOffset));
  const std::string path = SessionFilePath(id, client_addr);
  if (path.empty()) return kSessionError;
  FILE* file = fopen(path.c_str(), "w");
  if (!file) return kSessionError;
  const std::string content = FormatTimeStamp(now, '/') + ";" + user;
  const bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
  if (fclose(file) != 0 || !written) return kSessionError;
  return id;
}

bool CheckSessionFile(const std::string& id, const std::string& client_addr) {
  const std::string path = SessionFilePath(id, client_addr);
  if (path.empty()) return false;
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return false;
  fclose(file);
  return true;
}

void RemoveSessionFile(const std::string& id, const std::string& client_addr) {
  const std::string path = SessionFilePath(id, client_addr);
  if (!path.empty()) remove(path.c_str());
}

void SetSessionClockForTest(SessionClockFn clock) { session_clock = clock; }

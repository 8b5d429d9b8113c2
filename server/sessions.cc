// sessions.cc: session files (see sessions.h). Holds no state in memory besides
// a test's clock; the files are the state.
#include "server/sessions.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/boxfiles.h"
#include "common/filerewrite.h"
#include "server/request.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kSessionError[] = "*ERROR";
constexpr size_t kSessionIdDigits = 18;
constexpr size_t kTimeCountIdDigits = 9;

SessionClockFn session_clock = nullptr;

time_t Now() { return session_clock ? session_clock() : time(nullptr); }


// kSessionIdDigits random decimal digits, the first not 0; empty when the
// kernel's random source fails. Bytes of 250 and above are dropped, so every
// digit is equally likely.
std::string RandomSessionId() {
  std::string id;
  unsigned char bytes[32];
  while (id.size() < kSessionIdDigits) {
    const ssize_t got = getrandom(bytes, sizeof bytes, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::string();
    for (ssize_t i = 0; i < got && id.size() < kSessionIdDigits; ++i) {
      if (bytes[i] >= 250) continue;
      const char digit = static_cast<char>('0' + bytes[i] % 10);
      if (id.empty() && digit == '0') continue;
      id.push_back(digit);
    }
  }
  return id;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool IsClientAddressText(const std::string& addr) {
  if (addr.empty() || addr.size() > 64) return false;
  for (char ch : addr) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              c == '.' || c == ':' || c == '%';
    if (!ok) return false;
  }
  return true;
}

bool IsSessionIdText(const std::string& id) {
  if (id.size() != kSessionIdDigits && id.size() != kTimeCountIdDigits) return false;
  for (char c : id)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string SessionFilePath(const std::string& id, const std::string& client_addr) {
  if (!IsSessionIdText(id) || !IsClientAddressText(client_addr)) return std::string();
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
  const std::string id = RandomSessionId();
  const std::string path = SessionFilePath(id, client_addr);
  if (path.empty()) return kSessionError;
  // Readable by the web server's user alone: the name holds the id.
  const int fd = OpenCreatingFile(path, O_WRONLY | O_TRUNC);
  if (fd < 0) return kSessionError;
  const bool written = WriteAll(fd, FormatTimeStamp(Now(), '/') + ";" + user);
  if (close(fd) != 0 || !written) {
    unlink(path.c_str());
    return kSessionError;
  }
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

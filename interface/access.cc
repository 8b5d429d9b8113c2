// access.cc: reading the access code and writing the access file (see access.h).
#include "interface/access.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "common/boxfiles.h"
#include "common/filerewrite.h"
#include "common/linereader.h"
#include "toolkit/cstr.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kDailyMode = 'B';
// Only this many bytes of the first line are read, its line feed included.
constexpr size_t kMaxLineBytes = 255;

// The first line as read: at most kMaxLineBytes bytes, the line feed kept.
std::string ReadFirstLine(FILE* file) {
  std::string line;
  bool ended_lf;
  if (!ReadLine(file, &line, &ended_lf)) return std::string();
  if (ended_lf) line += '\n';
  if (line.size() > kMaxLineBytes) line.resize(kMaxLineBytes);
  return line;
}

// The line after its mode letter, through the toolkit's right-hand cut.
std::string LineData(const std::string& line) {
  char* data = StrCRight(line.c_str(), static_cast<unsigned>(line.size() - 1));
  if (!data) return std::string();
  std::string text(data);
  free(data);
  return text;
}

}  // namespace

std::string DailyCode(int base, int day, int month) {
  // Unsigned arithmetic wraps where a large base would overflow a signed int,
  // giving the same 32-bit result as the box without undefined behaviour.
  const uint32_t sum = static_cast<uint32_t>(day) + static_cast<uint32_t>(month) +
                       static_cast<uint32_t>(base) + 1u;
  return C_IntToStr(static_cast<int32_t>(sum * 3u));
}

std::string ReadAuthFileAt(const std::string& path, const std::tm& now) {
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return std::string();
  std::string line = ReadFirstLine(file);
  fclose(file);
  if (line.size() < 2) return std::string();
  if (line.back() == '\n') line.pop_back();
  const std::string data = LineData(line);
  // A mode letter alone ("B" and its line feed) sets no code, in mode "B" too.
  if (data.empty() || line[0] != kDailyMode) return data;
  bool ok = false;
  const int base = StrCToInt(data.c_str(), ok);
  return DailyCode(base, now.tm_mday, now.tm_mon);
}

std::string ReadAuthFile() {
  const std::time_t seconds = std::time(nullptr);
  std::tm now{};
  localtime_r(&seconds, &now);
  return ReadAuthFileAt(AccessFilePath(), now);
}

int SetAuth(const std::string& text) {
  // A code that ReadAuthFile would cut or end early could never be presented.
  if (text.size() + 1 > kMaxLineBytes || text.find('\n') != std::string::npos) return -1;
  // In place: the runtime's folder stays closed to the web server's user, and
  // only the owner may read the code.
  return OverwriteFileInPlace(AccessFilePath(), text + "\n") ? 1 : -1;
}

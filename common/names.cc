// names.cc: the file-name check for request values (see names.h).
#include "common/names.h"

namespace {
constexpr size_t kMaxNameLength = 64;

bool IsNameByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '-' || c == '.' || c == '*' || c >= 0xC0;
}
}  // namespace

bool IsValidName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  if (name.find("..") != std::string::npos) return false;
  for (char c : name)
    if (!IsNameByte(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string ValidNameOrEmpty(const std::string& name) {
  return IsValidName(name) ? name : std::string();
}

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

// formfield.cc: writing and parsing form field names (see formfield.h).
#include "server/formfield.h"

#include <cstdint>

#include "server/formdecode.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kMacroKind = 'x';
constexpr char kCodeMark = 'q';

}  // namespace

int TextChecksum(const std::string& text) {
  // Unsigned arithmetic wraps without undefined behaviour; the bytes are taken
  // unsigned so Latin-1 letters count 0xC0..0xFF on every platform.
  uint32_t sum = 0;
  for (size_t i = 0; i < text.size(); ++i)
    sum += static_cast<uint32_t>(i + 1) * static_cast<unsigned char>(text[i]);
  return static_cast<int32_t>(sum);
}

std::string FormFieldName(const std::string& kind, const std::string& index,
                          const std::string& value) {
  std::string code;
  if (kind == "S") {
    std::string inner = value.size() >= 2 ? value.substr(1, value.size() - 2) : "";
    code = IntToStrS(TextChecksum(inner));
  } else if (kind == "N") {
    code = StrReplaceChar(StrReplaceChar(value, ',', 'k'), '.', 'p');
  } else {
    code = value;
  }
  return kind + index + kCodeMark + code;
}

std::string MacroFieldName(const std::string& index) { return kMacroKind + index; }

bool IsPlainIndex(const std::string& text) {
  if (text.empty() || text.size() > 10) return false;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= INT32_MAX;
}

FormFieldNameParts ParseFormFieldName(const std::string& name) {
  FormFieldNameParts parts;
  if (name.empty()) return parts;
  parts.kind = name[0];
  if (parts.kind == kMacroKind) {
    parts.index = name.substr(1);
  } else {
    const size_t q = name.find(kCodeMark, 1);
    parts.index = q == std::string::npos ? name.substr(1) : name.substr(1, q - 1);
    if (q != std::string::npos) parts.code = name.substr(q + 1);
  }
  parts.valid = IsPlainIndex(parts.index);
  return parts;
}

bool IsShownValue(const FormFieldNameParts& field, const std::string& value) {
  if (field.kind == 'N') return StrReplaceChar(StrReplaceChar(field.code, 'p', '.'), 'k', ',') == value;
  if (field.kind == 'S') return IntToStrS(TextChecksum(value)) == field.code;
  return DecodeFormText(field.code) == value;
}

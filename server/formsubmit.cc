// formsubmit.cc: applying the fields of a sent page form (see formsubmit.h).
#include "server/formsubmit.h"

#include "server/formdecode.h"
#include "server/objrows.h"
#include "common/runtime.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kSubmitButton[] = "OKButton";
constexpr int kFirstFormField = 4;

}  // namespace

int ApplyFormField(const std::string& field) {
  const std::string name = StrGetIndex(field, 1, '=');
  // A field without a name ("=5") names no variable: taking its index would
  // cut past the end of the name.
  if (field.empty() || name.empty() || name == kSubmitButton) return 1;
  if (field[0] == 'x') {
    RunMacroByIdx(name.substr(1));  // a macro that cannot start is not reported
    return 1;
  }
  std::string value = StrGetKeyRow(name, field);
  const size_t q = name.find('q', 1);
  const std::string index = q == std::string::npos ? name.substr(1) : name.substr(1, q - 1);
  std::string code = q == std::string::npos ? std::string() : name.substr(q + 1);
  const char kind = field[0];
  std::string command;
  if (kind == 'N') {
    code = StrReplaceChar(StrReplaceChar(code, 'p', '.'), 'k', ',');
    value = ReplaceUntilNone(value, "%2C", ",");  // no other decoding for numbers
    if (value == code) return 1;
    command = index + "=" + value;
  } else {
    value = DecodeFormText(value);
    if (kind == 'S') {
      if (IntToStrS(TextChecksum(value)) == code) return 1;
    } else if (DecodeFormText(code) == value) {
      // The code is decoded too: a choice whose text the browser escapes in the
      // field's name would otherwise be written again on every send.
      return 1;
    }
    command = index + "=\"" + value + "\"";
  }
  return WriteVarByIdx(command);
}

int ApplyFormFields(const std::string& request_data) {
  // One pass over the text: taking each field with StrGetIndex would cost the
  // whole text per field. Fields 2 and on start after a "&" at position 1 or
  // later (a "&" in the first byte ends field 1 but is not counted further).
  size_t pos = 0;
  for (int n = 1; n < kFirstFormField; ++n) {
    pos = request_data.find('&', pos + 1);  // the first search starts at position 1
    if (pos == std::string::npos) return 1;
  }
  size_t start = pos + 1;
  int ok = 1;
  while (ok == 1) {
    const size_t amp = request_data.find('&', start);
    const std::string field = request_data.substr(
        start, amp == std::string::npos ? std::string::npos : amp - start);
    if (field.empty()) break;
    ok = ApplyFormField(field);
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
  return ok;
}

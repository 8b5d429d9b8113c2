// formsubmit.cc: applying the fields of a sent page form (see formsubmit.h).
#include "server/formsubmit.h"

#include "server/formdecode.h"
#include "server/formfield.h"
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
  const FormFieldNameParts parts = ParseFormFieldName(name);
  if (!parts.valid) return 1;  // names nothing: nothing to apply
  if (parts.kind == 'x') {
    RunMacroByIdx(parts.index);  // a macro that cannot start is not reported
    return 1;
  }
  std::string value = StrGetKeyRow(name, field);
  // Numbers take no other decoding; every other kind the form text decoding.
  value = parts.kind == 'N' ? ReplaceUntilNone(value, "%2C", ",") : DecodeFormText(value);
  if (IsShownValue(parts, value)) return 1;
  // A number is written bare, every other kind in double quotes.
  return WriteVarByIdx(parts.kind == 'N' ? parts.index + "=" + value
                                         : parts.index + "=\"" + value + "\"");
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

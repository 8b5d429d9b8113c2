// formsubmit.cc: applying the fields of a sent page form (see formsubmit.h).
#include "server/formsubmit.h"

#include "common/runtime.h"
#include "server/formdecode.h"
#include "server/formfield.h"
#include "toolkit/strobj.h"

const char kStaleFormNotice[] = "Die Seite war veraltet; bitte die Werte erneut eingeben.";
const char kChangedValueNotice[] = "Nicht \xFC" "bernommen (inzwischen ge\xE4" "ndert): ";
const char kNotAChoiceNotice[] = "Nicht \xFC" "bernommen (keine g\xFC" "ltige Auswahl): ";

namespace {

constexpr char kSubmitButton[] = "OKButton";
constexpr int kFirstFormField = 4;

// A text as a browser sends it in a form field's name from an ISO-8859-1
// page: letters, digits and "*-._" as they are, a blank as "+", every other
// byte as "%" and two upper-case hex digits.
std::string AsBrowserSendsIt(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
        b == '*' || b == '-' || b == '.' || b == '_') {
      out += c;
    } else if (b == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

// Whether a selection's value, as the form walk decoded it, is one of its
// row's choices; a choice goes the way the browser sends it and the decoding
// takes it, as the value did.
bool IsListedChoice(const std::vector<std::string>& choices, const std::string& value) {
  for (const std::string& choice : choices)
    if (DecodeFormText(AsBrowserSendsIt(choice)) == value) return true;
  return false;
}

// Whether the variable's value now differs from the one the page showed, by
// the code the field's name carries: the value read now is coded as the page
// codes it. A read that fails, or an answer without a value, says no.
bool ChangedSinceShown(const FormFieldNameParts& field) {
  std::string answer = field.index;
  if (!ReadVarByIdx(1, answer)) return false;
  const size_t eq = answer.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  const std::string kind(1, field.kind);
  const std::string now = FormFieldName(kind, field.index, answer.substr(eq + 1));
  const std::string head = kind + field.index + "q";
  if (field.kind == 'S') return now != head + field.code;  // a checksum: digits
  // A selection's code is its choice, a number's the number as the runtime
  // wrote it ("1e+07" too): the browser escapes it in the name and the form
  // decoding restores it only in part ("%E9" stays), so both sides go the same
  // way.
  return DecodeFormText(AsBrowserSendsIt(now.substr(head.size()))) != DecodeFormText(field.code);
}

// The position where field kFirstFormField begins, or npos when there is none.
// Fields 2 and on start after a "&" at position 1 or later (a "&" in the first
// byte ends field 1 but is not counted further).
size_t FormFieldsStart(const std::string& request_data) {
  size_t pos = 0;
  for (int n = 1; n < kFirstFormField; ++n) {
    pos = request_data.find('&', pos + 1);  // the first search starts at position 1
    if (pos == std::string::npos) return pos;
  }
  return pos + 1;
}

}  // namespace

int ApplyFormField(const std::string& field, FormWalkRec* walk) {
  const std::string name = StrGetIndex(field, 1, '=');
  // A field without a name ("=5") names no variable: taking its index would
  // cut past the end of the name.
  if (field.empty() || name.empty() || name == kSubmitButton) return 1;
  const FormFieldNameParts parts = ParseFormFieldName(name);
  if (!parts.valid) return 1;  // names nothing: nothing to apply
  if (parts.kind == 'x') {
    // Not on the page, or started already by an earlier field: nothing to do.
    if (walk->offer.macros.count(parts.index) == 0 ||
        !walk->named_macros.insert(parts.index).second)
      return 1;
    RunMacroByIdx(parts.index);  // a macro that cannot start is not reported
    return 1;
  }
  const auto offered = walk->offer.values.find(std::string(1, parts.kind) + parts.index);
  // Not a row of the page, or a variable an earlier field named (the first counts).
  if (offered == walk->offer.values.end() || !walk->named_values.insert(parts.index).second)
    return 1;
  std::string value = StrGetKeyRow(name, field);
  // Numbers take no other decoding; every other kind the form text decoding.
  value = parts.kind == 'N' ? ReplaceUntilNone(value, "%2C", ",") : DecodeFormText(value);
  if (IsShownValue(parts, value)) return 1;
  // A selection writes only what its row lists: "Kaputt" is no choice of "Aus"
  // and "Ein", nor is the count.
  if (parts.kind == 'U' &&
      !IsListedChoice(walk->offer.choices[std::string(1, parts.kind) + parts.index], value)) {
    walk->notices.push_back(kNotAChoiceNotice + offered->second);
    return 1;
  }
  // Only a changed field costs the read: the user's value must not overwrite
  // one that nobody on this page has seen.
  if (ChangedSinceShown(parts)) {
    walk->notices.push_back(kChangedValueNotice + offered->second);
    return 1;
  }
  // A number is written bare, every other kind in double quotes.
  return WriteVarByIdx(parts.kind == 'N' ? parts.index + "=" + value
                                         : parts.index + "=\"" + value + "\"");
}

int ApplyFormFields(const std::string& request_data, FormWalkRec* walk) {
  // One pass over the text: taking each field with StrGetIndex would cost the
  // whole text per field.
  size_t start = FormFieldsStart(request_data);
  if (start == std::string::npos) return 1;
  int ok = 1;
  while (ok == 1) {
    const size_t amp = request_data.find('&', start);
    const std::string field = request_data.substr(
        start, amp == std::string::npos ? std::string::npos : amp - start);
    if (field.empty()) break;
    ok = ApplyFormField(field, walk);
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
  return ok;
}

int ApplyPageForm(const std::string& request_data, FormVerdict verdict,
                  const std::string& page_path, std::vector<std::string>* notices) {
  // The form's indices may be those of an older compile: any of them may name
  // another variable or macro now.
  if (verdict == FormVerdict::kStale) {
    notices->push_back(kStaleFormNotice);
    return 1;
  }
  if (verdict != FormVerdict::kApply) return 1;
  if (FormFieldsStart(request_data) == std::string::npos) return 1;  // a page view
  FormWalkRec walk;
  walk.offer = ReadFormOffer(page_path);
  const int ok = ApplyFormFields(request_data, &walk);
  notices->insert(notices->end(), walk.notices.begin(), walk.notices.end());
  return ok;
}

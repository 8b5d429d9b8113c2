// formfield.h: the name of a page form's field, which carries a variable's kind,
// its index and a code of the value the page showed to the next request, or a
// macro's index. Written by the object and macro rows (objrows.cc), taken apart
// by the form walk (formsubmit.cc). Tested by formfield_test.cc.
#pragma once

#include <string>

// The checksum of a text value as shown (without its quotes): the sum of
// position (from 1) times byte (0..255), wrapping in 32 bits, as a signed int.
int TextChecksum(const std::string& text);

// The form field name of an editable value: kind + index + "q" + a code of the
// value as shown. Kind "S": the decimal checksum of the value between its first
// and last byte (its quotes); kind "N": the value with "," as "k" and then "."
// as "p"; any other kind: the value unchanged.
std::string FormFieldName(const std::string& kind, const std::string& index,
                          const std::string& value);

// The field name of a macro's checkbox: "x" + macro index.
std::string MacroFieldName(const std::string& index);

// True for a plain non-negative decimal number that fits an int ("0", "15",
// "007"); false for "", "-1", "+1", " 1", "1a", "2147483648". Only such an index
// becomes a macro's checkbox or is applied from a sent form.
bool IsPlainIndex(const std::string& text);

// A field name taken apart: kind letter ('x' for a macro box), the index as
// written, and the code after the first "q" past the kind (empty without one).
struct FormFieldNameParts {
  char kind = 0;
  std::string index;
  std::string code;
  bool valid = false;  // the index IsPlainIndex; else the name names nothing to apply
};
// The name must not be empty. "x", "xabc", "x-1", "N", "Nq3" are not valid:
// applied, they would start macro 0 or -1 or write "=5".
FormFieldNameParts ParseFormFieldName(const std::string& name);

// Whether value, as the form walk decoded it for the field's kind, is the value
// that the page showed: kind "N" compares with the code's "p" as "." and "k" as
// ","; "S" compares the value's checksum; any other kind compares with the
// decoded code (a choice whose text the browser escaped in the field's name).
bool IsShownValue(const FormFieldNameParts& field, const std::string& value);

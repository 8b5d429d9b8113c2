// form_fuzz.cc: the fields of a sent page form over any bytes, with the
// runtime down (no address): DecodeFormText on the whole input, ApplyFormField
// on it as one field and ApplyFormFields on it as a request text, with a page
// that offers what the first field names.
// Promises checked: decoding never makes a text longer, and with no runtime a
// field is either accepted (1) or its write fails (-1).
#include <string>

#include "fuzz/fuzz_support.h"
#include "common/config.h"
#include "server/formdecode.h"
#include "server/formsubmit.h"

using fuzzsupport::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  AbKeURL.clear();  // every runtime call fails at once

  const std::string decoded = DecodeFormText(text);
  Require(decoded.size() <= text.size(), "decoding never lengthens a text");

  // The walk offers what the input's first field names, so that the rules past
  // the page's offer are reached too.
  const std::string name = text.substr(0, text.find_first_of("=&"));
  FormWalkRec walk;
  if (!name.empty()) {
    walk.offer.values[name.substr(0, name.find('q', 1))] = "L";
    walk.offer.macros.insert(name.substr(1));
  }
  const int field = ApplyFormField(text, &walk);
  Require(field == 1 || field == -1, "a field is accepted or its write fails");
  FormWalkRec fields_walk;
  fields_walk.offer = walk.offer;
  const int fields = ApplyFormFields(text, &fields_walk);
  Require(fields == 1 || fields == -1, "the fields are accepted or a write fails");
  return 0;
}

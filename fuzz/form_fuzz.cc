// form_fuzz.cc: the fields of a sent page form over any bytes, with the
// runtime down (no address): DecodeFormText on the whole input, ApplyFormField
// on it as one field and ApplyFormFields on it as a request text.
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

  const int field = ApplyFormField(text);
  Require(field == 1 || field == -1, "a field is accepted or its write fails");
  const int fields = ApplyFormFields(text);
  Require(fields == 1 || fields == -1, "the fields are accepted or a write fails");
  return 0;
}

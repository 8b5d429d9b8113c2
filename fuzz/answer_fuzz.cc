// answer_fuzz.cc: the bounds of a runtime answer (AnswerWithinBounds) over any
// answer body, and the XML-RPC library's parser over every body that passes
// them, as a call hands it over.
// Promises checked: a body beyond kMaxAnswerBytes never passes, and a body
// that passes is parsed without a crash (the parser recurses once per array
// or struct, so a deeper one would overflow the stack).
#include <string>

#include <flxmlrpc/XmlRpc.h>

#include "common/answerbounds.h"
#include "fuzz/fuzz_support.h"

using fuzzsupport::Require;

// The library's parser leaks the values of a struct that it gives up on half
// way (found by this target); a CGI run ends right after, so only crashes count
// here, and the leak checker is off for this target alone.
extern "C" int __lsan_is_turned_off();
extern "C" int __lsan_is_turned_off() { return 1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const bool within = AnswerWithinBounds(body);
  if (size > kMaxAnswerBytes) Require(!within, "a body beyond the size bound never passes");
  if (!within) return 0;
  // Every value in the body, as the parser would meet it after "<param>".
  for (size_t at = body.find("<value>"); at != std::string::npos;
       at = body.find("<value>", at + 1)) {
    int offset = static_cast<int>(at);
    try {
      XmlRpc::XmlRpcValue value(body, &offset);
    } catch (const XmlRpc::XmlRpcException&) {
    }
  }
  return 0;
}

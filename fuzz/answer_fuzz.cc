// answer_fuzz.cc: the bounds of a runtime answer (AnswerWithinBounds) over any
// answer body, the XML-RPC library's parser over every body that passes them,
// as a call hands it over, and each parsed value judged as the answer of a
// "system.multicall" of three reads of different kinds.
// Promises checked: a body beyond kMaxAnswerBytes never passes, a body that
// passes is parsed without a crash (the parser recurses once per array or
// struct, so a deeper one would overflow the stack), and a multicall answer of
// any shape gives each read kOk or kFault, never a crash.
#include <string>

#include <flxmlrpc/XmlRpc.h>

#include "common/answerbounds.h"
#include "common/multicallanswer.h"
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
      RuntimeRead reads[3];
      reads[0].kind = ReadKind::kVarByIdx;
      reads[1].kind = ReadKind::kVarIdx;
      reads[2].kind = ReadKind::kVarByName;
      if (JudgeMulticallAnswer(value, reads, 3) == MulticallSupport::kOffered) {
        for (const RuntimeRead& read : reads)
          Require(read.outcome != CallOutcome::kUnreachable, "every read judged");
      }
    } catch (const XmlRpc::XmlRpcException&) {
    }
  }
  return 0;
}

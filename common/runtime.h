// runtime.h: every call to the runtime (Ablaufkern) over XML-RPC. Only runtime.cc
// talks to the XML-RPC library. Each call uses its own new client for AbKeURL,
// with keep-open off, a bounded wait (kCallTimeoutSeconds) and no retry; a call
// succeeds only when it was carried out, drew no fault and the answer has the
// shape read. Every failure maps to the call's fixed fallback; nothing is
// written to standard output or standard error. Once a call of this run has
// timed out, later calls of the run fail at once.
// Tested by runtime_test.cc against the trial runtime.
#pragma once

#include <string>
#include <vector>

constexpr double kCallTimeoutSeconds = 10.0;

// How a call ended, for callers that must tell a missing runtime from an answer.
enum class CallOutcome {
  kOk,           // answered, no fault, answer of the expected shape
  kFault,        // answered with a fault, or an answer of another shape or type
  kUnreachable,  // no usable address, no connection, or no answer in time
};

// --- The web page server's four calls ---------------------------------------
// "getvarbyname" (int mode, string name). The answer text; "error XN-1" when the
// call cannot be carried out, "error XN-2" on a fault or a wrong answer.
std::string ReadVarByName(int mode, const std::string& name);
// "getvarbyidx" (int mode, string index). On success text becomes the answer and
// true is returned; on failure text becomes "error XI-1" and false is returned.
bool ReadVarByIdx(int mode, std::string& text);
// "setvarbyidx" (string "index=value"). The status answered (1 = accepted), or -1.
int WriteVarByIdx(const std::string& command);
// "startmacroidx" (int C_StrToInt(index)). Whether the call succeeded.
bool RunMacroByIdx(const std::string& index_text);

// --- The administration interface's calls -----------------------------------
// "createvarlist" (string). On success *count = element 0 and, when it is 2 or
// more, *list = element 1 (else *list is left empty). False on failure.
bool RuntimeCreateVarList(const std::string& argument, int* count, std::string* list);
// "getvarbyname" (int form, string name as received): element 0, or false.
bool RuntimeGetVarByName(int form, const std::string& name, std::string* answer);
// "setvarbyname" (string): element 0, or -1.
int RuntimeSetVarByName(const std::string& argument);
// "startmacroidx" (string index as received): element 0, or -1.
int RuntimeStartMacro(const std::string& argument);
// "comablaufkern" (int 110); the answer is not read.
void RuntimeEndKernel();
// "workfile" (action, file name[, new name only when action is "ren"]); the answer
// is not read. Whether the call was carried out without a fault.
bool RuntimeWorkFile(const std::string& action, const std::string& name,
                     const std::string& new_name);

// --- The compiler's calls -----------------------------------------------------
// "getvaridx" / "getobjidx" (string name): the index answered, or -1. *outcome
// tells a missing runtime from an answer (a negative index is kOk with its value).
int RuntimeGetVarIdx(const std::string& name, CallOutcome* outcome);
int RuntimeGetObjIdx(const std::string& name, CallOutcome* outcome);

// From now on every call of this run fails at once as kUnreachable, as after a
// call that timed out: the compiler run of this request found no runtime, and
// the page must not wait one more bound for it.
void TreatRuntimeAsUnreachable();

// --- Reads in batches ----------------------------------------------------------
// The reads a page or a compile makes, asked together: each is answered exactly
// as its single call above would be. Writes never go in a batch: a write is
// never sent twice, and a batch may be.
enum class ReadKind {
  kVarByIdx,   // "getvarbyidx" (int 1, string index): text = "NAME=value"
  kVarByName,  // "getvarbyname" (int 1, string name): text = "NAME=value"
  kVarIdx,     // "getvaridx" (string name): number = index
  kObjIdx,     // "getobjidx" (string name): number = index
};
struct RuntimeRead {
  ReadKind kind = ReadKind::kVarByIdx;
  std::string argument;                           // index text or name, sent as is
  CallOutcome outcome = CallOutcome::kUnreachable;  // set by RuntimeReadMany
  std::string text;                               // kVarByIdx, kVarByName when kOk
  int number = -1;                                // kVarIdx, kObjIdx when kOk
};

// What a batch learnt about "system.multicall".
enum class MulticallSupport {
  kUnknown,     // not asked (none wanted, or no answer at all)
  kOffered,     // answered with an array
  kNotOffered,  // answered with a fault or a value that is no array
  kRefused,     // within ReadBatch only: its answer broke the bounds of answerbounds.h
};

// Answers every read. With use_multicall, up to kMulticallBatch reads go in one
// "system.multicall" per round trip; each element of its answer is judged alone
// (a fault, a wrong type, a missing element gives that read kFault). When the
// runtime does not offer it (kNotOffered), or without use_multicall, every read
// is its own call, all on one kept-open connection; a connection that the
// runtime closed after an answer is opened again once for the next read. The
// bounded wait holds per round trip, and after one timeout the rest fail at once.
constexpr int kMulticallBatch = 500;
MulticallSupport RuntimeReadMany(std::vector<RuntimeRead>* reads, bool use_multicall);

// What ReadVarByName and ReadVarByIdx give for a read answered in a batch.
std::string VarByNameResult(const RuntimeRead& read);
bool VarByIdxResult(const RuntimeRead& read, std::string& text);

// For tests that make several runs in one process: forget that a call timed out.
void ResetRuntimeClientState();

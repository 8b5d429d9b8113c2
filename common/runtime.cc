// runtime.cc: every call to the runtime over XML-RPC (see runtime.h). The only
// file that talks to the XML-RPC library, and the only one with a `try`: the
// library throws XmlRpcException when an answer has another type or shape.
#include "common/runtime.h"

#include <flxmlrpc/XmlRpc.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>

#include "common/answerbounds.h"
#include "common/config.h"
#include "common/multicallanswer.h"
#include "toolkit/strobj.h"

using XmlRpc::XmlRpcValue;

namespace {

constexpr char kUrlPrefix[] = "xmlrpc://";
constexpr int kEndKernelCommand = 110;

// Set when a call of this run got no answer in time: a hung runtime must cost a
// page one bounded wait, not one per value.
bool call_timed_out = false;

class SilentErrors : public XmlRpc::XmlRpcErrorHandler {
 public:
  void error(const char*) override {}
};
class SilentLog : public XmlRpc::XmlRpcLogHandler {
 public:
  void log(int, const char*) override {}
};

// Once per process: the library prints nothing, and a runtime that drops the
// connection cannot end the program through SIGPIPE half way through a page.
void PrepareLibrary() {
  static bool done = false;
  if (done) return;
  done = true;
  static SilentErrors silent_errors;
  static SilentLog silent_log;
  XmlRpc::XmlRpcErrorHandler::setErrorHandler(&silent_errors);
  XmlRpc::XmlRpcLogHandler::setLogHandler(&silent_log);
  XmlRpc::setVerbosity(0);
  signal(SIGPIPE, SIG_IGN);
}

// Splits "xmlrpc://host:port"; false unless the host is not empty and the port
// is a plain decimal number from 1 to 65535.
bool ParseAddress(const std::string& url, std::string* host, int* port) {
  const size_t prefix = sizeof(kUrlPrefix) - 1;
  if (url.compare(0, prefix, kUrlPrefix) != 0) return false;
  const size_t colon = url.rfind(':');
  if (colon == std::string::npos || colon < prefix) return false;
  *host = url.substr(prefix, colon - prefix);
  const std::string digits = url.substr(colon + 1);
  if (host->empty() || digits.empty() || digits.size() > 5) return false;
  long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

// The library's client reports every call with keep-open off as not carried out
// (it closes itself after reading the answer), and with keep-open on it sends a
// request again when the connection closes before any answer, which would write
// a value or start a macro twice. This client keeps it open but sends once.
// It also holds every answer to the bounds of answerbounds.h. Its own reads
// stop at kMaxAnswerBytes (the library's take all that has arrived, so an
// answer of 50 MB sent at once would be read whole before its header is looked
// at), a declared length beyond the bound ends the call, and the body is
// checked before it is handed to the library's parser.
class OneShotClient : public XmlRpc::XmlRpcClient {
 public:
  using XmlRpcClient::XmlRpcClient;
  // Whether the last answer broke the bounds (the call then failed).
  bool AnswerRefused() const { return answer_refused_; }
  // Before each call on a kept-open connection.
  void ForgetRefusal() { answer_refused_ = false; }

 protected:
  bool readHeader() override {
    switch (ReadBounded(&_header, /*stop_at_header_end=*/true)) {
      case kReadFailed: return false;
      case kReadBeyondBound: return Refuse();
      case kReadWaiting: break;
    }
    if (_eof && _header.empty()) return false;  // closed before any answer: never sent again
    return parseHeader();
  }
  bool parseHeader() override {
    if (!XmlRpcClient::parseHeader()) return false;
    if (_connectionState == READ_RESPONSE && _contentLength > static_cast<int>(kMaxAnswerBytes))
      return Refuse();
    return true;
  }
  bool readResponse() override {
    if (_response.size() < static_cast<size_t>(_contentLength)) {
      switch (ReadBounded(&_response, /*stop_at_header_end=*/false)) {
        case kReadFailed: return false;
        case kReadBeyondBound: return Refuse();
        case kReadWaiting: break;
      }
      if (_response.size() < static_cast<size_t>(_contentLength)) return !_eof;
    }
    _connectionState = IDLE;  // complete: execute() goes on to parse it
    return false;
  }
  // The one place where an answer reaches the library's parser.
  bool parseResponse(XmlRpcValue& result) override {
    if (!AnswerWithinBounds(_response)) return Refuse();
    return XmlRpcClient::parseResponse(result);
  }

 private:
  enum ReadResult { kReadWaiting, kReadFailed, kReadBeyondBound };
  // Appends what has arrived to *text, up to the moment nothing more is there
  // (or the connection ends: _eof), but never past kMaxAnswerBytes; with
  // stop_at_header_end, also no further than the chunk that ends the header,
  // so that its length is looked at before the body is read.
  ReadResult ReadBounded(std::string* text, bool stop_at_header_end) {
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(getfd(), buffer, sizeof buffer);
      if (got > 0) {
        text->append(buffer, static_cast<size_t>(got));
        if (text->size() > kMaxAnswerBytes) return kReadBeyondBound;
        if (stop_at_header_end && (text->find("\r\n\r\n") != std::string::npos ||
                                   text->find("\n\n") != std::string::npos))
          return kReadWaiting;
      } else if (got == 0) {
        _eof = true;
        return kReadWaiting;
      } else if (errno != EINTR) {
        return errno == EAGAIN || errno == EWOULDBLOCK ? kReadWaiting : kReadFailed;
      }
    }
  }
  // Ends the call as not carried out; execute() then returns false.
  bool Refuse() {
    answer_refused_ = true;
    _response.clear();
    return false;
  }
  bool answer_refused_ = false;
};

// One connection to the runtime, kept open across the calls of a batch and
// closed when the record goes. A single call uses a record of its own.
struct Link {
  std::unique_ptr<OneShotClient> client;
  bool answered = false;  // a call on the current connection got its answer
  bool refused = false;   // the last call's answer broke the bounds (answerbounds.h)
  ~Link() {
    if (client) client->close();
  }
  void Drop() {
    if (client) client->close();
    client.reset();
    answered = false;
  }
};

// Whether an open connection is still quietly waiting for the next request.
// Anything to read on it (the runtime's close, or bytes nobody asked for) means
// it cannot carry another call.
bool IsIdle(OneShotClient& client) {
  const int fd = client.getfd();
  if (fd < 0) return false;
  pollfd ready{fd, POLLIN, 0};
  return poll(&ready, 1, 0) == 0;
}

// The one place where a call is made: one request on the link's connection
// (opened when there is none), a bounded wait, never sent again here.
CallOutcome Exchange(Link& link, const char* method, const XmlRpcValue& params,
                     XmlRpcValue* result) {
  PrepareLibrary();
  if (call_timed_out) return CallOutcome::kUnreachable;
  if (link.client && !IsIdle(*link.client)) link.Drop();
  if (!link.client) {
    std::string host;
    int port = 0;
    if (!ParseAddress(AbKeURL, &host, &port)) return CallOutcome::kUnreachable;
    link.client.reset(new OneShotClient(host.c_str(), port));
    link.client->setKeepOpen(true);
  }
  try {
    link.client->ForgetRefusal();
    link.refused = false;
    const auto start = std::chrono::steady_clock::now();
    const bool carried_out = link.client->execute(method, params, *result, kCallTimeoutSeconds);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    if (!carried_out) {
      // An answer beyond the bounds came from a runtime that answers: a fault.
      // Its unread rest makes the connection useless for another call.
      const bool refused = link.client->AnswerRefused();
      link.Drop();
      link.refused = refused;
      if (refused) return CallOutcome::kFault;
      if (spent.count() >= kCallTimeoutSeconds * 0.95) call_timed_out = true;
      return CallOutcome::kUnreachable;
    }
    link.answered = true;
    if (link.client->isFault()) return CallOutcome::kFault;
    return CallOutcome::kOk;
  } catch (const XmlRpc::XmlRpcException&) {
    link.Drop();  // the answer could not be read: the connection's state is unknown
    return CallOutcome::kFault;
  }
}

// A single call on a connection of its own, closed after it.
CallOutcome Call(const char* method, const XmlRpcValue& params, XmlRpcValue* result) {
  Link link;
  return Exchange(link, method, params, result);
}

// A read on a kept-open connection. A read is safe to repeat, so when the
// runtime closed a connection that had answered before, the read goes once
// more on a new one; a fresh connection that fails is not tried again.
CallOutcome ReadCall(Link& link, const char* method, const XmlRpcValue& params,
                     XmlRpcValue* result) {
  const bool reused = link.client != nullptr && link.answered;
  const CallOutcome outcome = Exchange(link, method, params, result);
  if (outcome != CallOutcome::kUnreachable || !reused || call_timed_out) return outcome;
  return Exchange(link, method, params, result);
}

// Answer element i of the expected type; false for any other shape.
bool AnswerInt(const XmlRpcValue& answer, int i, int* value) {
  if (answer.getType() != XmlRpcValue::TypeArray || answer.size() <= i) return false;
  const XmlRpcValue& element = answer[i];
  if (element.getType() != XmlRpcValue::TypeInt) return false;
  *value = static_cast<int>(element);
  return true;
}

bool AnswerString(const XmlRpcValue& answer, int i, std::string* value) {
  if (answer.getType() != XmlRpcValue::TypeArray || answer.size() <= i) return false;
  const XmlRpcValue& element = answer[i];
  if (element.getType() != XmlRpcValue::TypeString) return false;
  *value = static_cast<const std::string&>(element);
  return true;
}

XmlRpcValue Params(const XmlRpcValue& first) {
  XmlRpcValue params;
  params.setSize(1);
  params[0] = first;
  return params;
}

XmlRpcValue Params(const XmlRpcValue& first, const XmlRpcValue& second) {
  XmlRpcValue params;
  params.setSize(2);
  params[0] = first;
  params[1] = second;
  return params;
}

// A call whose answer element 0 is a string.
CallOutcome CallForString(const char* method, const XmlRpcValue& params, std::string* text) {
  XmlRpcValue answer;
  CallOutcome outcome = Call(method, params, &answer);
  if (outcome == CallOutcome::kOk && !AnswerString(answer, 0, text)) outcome = CallOutcome::kFault;
  return outcome;
}

// A call whose answer element 0 is an int.
CallOutcome CallForInt(const char* method, const XmlRpcValue& params, int* value) {
  XmlRpcValue answer;
  CallOutcome outcome = Call(method, params, &answer);
  if (outcome == CallOutcome::kOk && !AnswerInt(answer, 0, value)) outcome = CallOutcome::kFault;
  return outcome;
}

int LookupIndex(const char* method, const std::string& name, CallOutcome* outcome) {
  int index = -1;
  *outcome = CallForInt(method, Params(name), &index);
  return *outcome == CallOutcome::kOk ? index : -1;
}

const char* ReadMethod(ReadKind kind) {
  switch (kind) {
    case ReadKind::kVarByIdx: return "getvarbyidx";
    case ReadKind::kVarByName: return "getvarbyname";
    case ReadKind::kVarIdx: return "getvaridx";
    case ReadKind::kObjIdx: return "getobjidx";
  }
  return "";
}

XmlRpcValue ReadParams(const RuntimeRead& read) {
  if (read.kind == ReadKind::kVarByIdx || read.kind == ReadKind::kVarByName)
    return Params(1, read.argument);
  return Params(read.argument);
}

// Judges one answer (the method's own answer array) exactly as its single call
// does: a text for the value reads, an int for the index lookups.
void JudgeRead(const XmlRpcValue& answer, RuntimeRead* read) {
  const bool ok = read->kind == ReadKind::kVarByIdx || read->kind == ReadKind::kVarByName
                      ? AnswerString(answer, 0, &read->text)
                      : AnswerInt(answer, 0, &read->number);
  read->outcome = ok ? CallOutcome::kOk : CallOutcome::kFault;
}

// One element of a "system.multicall" answer: an array holding the call's
// answer, or a fault struct. Anything else is that read's fault.
void JudgeElement(const XmlRpcValue& element, RuntimeRead* read) {
  read->outcome = CallOutcome::kFault;
  if (element.getType() != XmlRpcValue::TypeArray || element.size() != 1) return;
  JudgeRead(element[0], read);
}

// Up to kMulticallBatch reads from first in one "system.multicall". Returns
// kNotOffered when the runtime answers it with a fault or no array, kRefused
// when its answer broke the bounds, kUnknown when it gave no answer (every read
// of the batch then has kUnreachable).
MulticallSupport ReadBatch(Link& link, std::vector<RuntimeRead>& reads, size_t first,
                           size_t count) {
  XmlRpcValue calls;
  calls.setSize(static_cast<int>(count));
  for (size_t i = 0; i < count; ++i) {
    const RuntimeRead& read = reads[first + i];
    XmlRpcValue call;
    call["methodName"] = std::string(ReadMethod(read.kind));
    call["params"] = ReadParams(read);
    calls[static_cast<int>(i)] = call;
  }
  XmlRpcValue answer;
  const CallOutcome outcome = ReadCall(link, "system.multicall", Params(calls), &answer);
  if (outcome == CallOutcome::kUnreachable) {
    for (size_t i = 0; i < count; ++i) reads[first + i].outcome = CallOutcome::kUnreachable;
    return MulticallSupport::kUnknown;
  }
  // An answer beyond the bounds says nothing about "system.multicall" (the
  // batch's values together may be what is too long): the reads go singly, each
  // under the same bounds, and nothing is remembered.
  if (link.refused) return MulticallSupport::kRefused;
  if (outcome == CallOutcome::kFault) return MulticallSupport::kNotOffered;
  return JudgeMulticallAnswer(answer, &reads[first], count);
}

}  // namespace

MulticallSupport JudgeMulticallAnswer(const XmlRpcValue& answer, RuntimeRead* reads,
                                      size_t count) {
  if (answer.getType() != XmlRpcValue::TypeArray) return MulticallSupport::kNotOffered;
  // Elements beyond the batch are ignored; missing ones leave their read a fault.
  const size_t answered = static_cast<size_t>(answer.size());
  for (size_t i = 0; i < count; ++i) reads[i].outcome = CallOutcome::kFault;
  try {
    for (size_t i = 0; i < count && i < answered; ++i)
      JudgeElement(answer[static_cast<int>(i)], &reads[i]);
  } catch (const XmlRpc::XmlRpcException&) {
    // Not reached with the checks above; a read not yet judged stays a fault.
  }
  return MulticallSupport::kOffered;
}

MulticallSupport RuntimeReadMany(std::vector<RuntimeRead>* reads, bool use_multicall) {
  Link link;
  MulticallSupport support = MulticallSupport::kUnknown;
  size_t next = 0;
  if (use_multicall) {
    while (next < reads->size()) {
      const size_t count = std::min(reads->size() - next, static_cast<size_t>(kMulticallBatch));
      const MulticallSupport batch = ReadBatch(link, *reads, next, count);
      if (batch == MulticallSupport::kUnknown) return support;  // no runtime: nothing more to try
      if (batch == MulticallSupport::kRefused) break;
      support = batch;
      if (batch == MulticallSupport::kNotOffered) break;
      next += count;
    }
  }
  for (; next < reads->size(); ++next) {
    RuntimeRead& read = (*reads)[next];
    XmlRpcValue answer;
    read.outcome = ReadCall(link, ReadMethod(read.kind), ReadParams(read), &answer);
    if (read.outcome == CallOutcome::kOk) JudgeRead(answer, &read);
  }
  return support;
}

std::string VarByNameResult(const RuntimeRead& read) {
  switch (read.outcome) {
    case CallOutcome::kOk: return read.text;
    case CallOutcome::kFault: return "error XN-2";
    case CallOutcome::kUnreachable: break;
  }
  return "error XN-1";
}

bool VarByIdxResult(const RuntimeRead& read, std::string& text) {
  if (read.outcome != CallOutcome::kOk) {
    text = "error XI-1";
    return false;
  }
  text = read.text;
  return true;
}

std::string ReadVarByName(int mode, const std::string& name) {
  RuntimeRead read;
  read.outcome = CallForString("getvarbyname", Params(mode, name), &read.text);
  return VarByNameResult(read);
}

bool ReadVarByIdx(int mode, std::string& text) {
  RuntimeRead read;
  read.outcome = CallForString("getvarbyidx", Params(mode, text), &read.text);
  return VarByIdxResult(read, text);
}

int WriteVarByIdx(const std::string& command) {
  int status = -1;
  if (CallForInt("setvarbyidx", Params(command), &status) != CallOutcome::kOk) return -1;
  return status;
}

bool RunMacroByIdx(const std::string& index_text) {
  XmlRpcValue answer;
  return Call("startmacroidx", Params(C_StrToInt(index_text)), &answer) == CallOutcome::kOk;
}

bool RuntimeCreateVarList(const std::string& argument, int* count, std::string* list) {
  XmlRpcValue answer;
  if (Call("createvarlist", Params(argument), &answer) != CallOutcome::kOk) return false;
  int n = 0;
  if (!AnswerInt(answer, 0, &n)) return false;
  std::string text;
  if (n >= 2 && !AnswerString(answer, 1, &text)) return false;
  *count = n;
  *list = text;
  return true;
}

bool RuntimeGetVarByName(int form, const std::string& name, std::string* answer) {
  return CallForString("getvarbyname", Params(form, name), answer) == CallOutcome::kOk;
}

int RuntimeSetVarByName(const std::string& argument) {
  int code = -1;
  if (CallForInt("setvarbyname", Params(argument), &code) != CallOutcome::kOk) return -1;
  return code;
}

int RuntimeStartMacro(const std::string& argument) {
  int code = -1;
  if (CallForInt("startmacroidx", Params(argument), &code) != CallOutcome::kOk) return -1;
  return code;
}

void RuntimeEndKernel() {
  XmlRpcValue answer;
  Call("comablaufkern", Params(kEndKernelCommand), &answer);
}

bool RuntimeWorkFile(const std::string& action, const std::string& name,
                     const std::string& new_name) {
  XmlRpcValue params;
  params.setSize(action == "ren" ? 3 : 2);
  params[0] = action;
  params[1] = name;
  if (action == "ren") params[2] = new_name;
  XmlRpcValue answer;
  return Call("workfile", params, &answer) == CallOutcome::kOk;
}

int RuntimeGetVarIdx(const std::string& name, CallOutcome* outcome) {
  return LookupIndex("getvaridx", name, outcome);
}

int RuntimeGetObjIdx(const std::string& name, CallOutcome* outcome) {
  return LookupIndex("getobjidx", name, outcome);
}

void TreatRuntimeAsUnreachable() { call_timed_out = true; }

void ResetRuntimeClientState() { call_timed_out = false; }

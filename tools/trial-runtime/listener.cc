// listener.cc: the trial runtime's XML-RPC server (see listener.h). The
// library's server reads and parses the requests; this file decides what is
// answered and when, and, for --hang and --drop, that nothing is.
// Tested by tests/trial_runtime_test.cc.
#include "listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include <flxmlrpc/XmlRpcServerConnection.h>

#include "methods.h"

using XmlRpc::XmlRpcDispatch;
using XmlRpc::XmlRpcServerConnection;
using XmlRpc::XmlRpcSocket;
using XmlRpc::XmlRpcValue;

namespace {

constexpr char kMulticall[] = "system.multicall";

// The calls of a "system.multicall" request (its one parameter, an array), or
// null when the request has another shape.
const XmlRpcValue* MulticallCalls(const XmlRpcValue& params) {
  if (params.getType() != XmlRpcValue::TypeArray || params.size() != 1) return nullptr;
  const XmlRpcValue& calls = params[0];
  return calls.getType() == XmlRpcValue::TypeArray ? &calls : nullptr;
}

// The method name and parameters of one call of a "system.multicall"; false
// unless it is a struct with a string "methodName" and an array "params".
bool InnerCall(const XmlRpcValue& call, std::string* method, XmlRpcValue* params) {
  XmlRpcValue copy = call;  // the library's const struct access has no lookup
  if (copy.getType() != XmlRpcValue::TypeStruct || !copy.hasMember("methodName") ||
      !copy.hasMember("params"))
    return false;
  if (copy["methodName"].getType() != XmlRpcValue::TypeString ||
      copy["params"].getType() != XmlRpcValue::TypeArray)
    return false;
  *method = static_cast<std::string&>(copy["methodName"]);
  *params = copy["params"];
  return true;
}

XmlRpcValue FaultElement(int code, const std::string& text) {
  XmlRpcValue fault;
  fault["faultCode"] = code;
  fault["faultString"] = text;
  return fault;
}

class SilentErrors : public XmlRpc::XmlRpcErrorHandler {
 public:
  void error(const char*) override {}
};
class SilentLog : public XmlRpc::XmlRpcLogHandler {
 public:
  void log(int, const char*) override {}
};

// A connection that, under --hang or --drop, reads the whole request with the
// library's own reader and then keeps quiet: --drop closes the connection,
// --hang keeps it open and discards whatever else arrives until the client
// closes it. Under --close it answers and then closes the connection itself, as
// a server without keep-alive does (the library keeps an HTTP/1.1 connection).
class TrialConnection : public XmlRpcServerConnection {
 public:
  TrialConnection(XmlRpcSocket::Socket socket, TrialListener* listener)
      : XmlRpcServerConnection(socket, listener, true), listener_(listener) {}

  unsigned handleEvent(unsigned event) override {
    const TrialBehaviour& behaviour = listener_->behaviour();
    if (behaviour.drop_after >= 0 && !behaviour.hang && !behaviour.drop && !behaviour.close)
      return AnswerUntilDrop(behaviour.drop_after);
    if (!behaviour.hang && !behaviour.drop && !behaviour.close)
      return XmlRpcServerConnection::handleEvent(event);
    if (_connectionState == READ_HEADER && !readHeader()) return 0;
    if (!behaviour.hang && !behaviour.drop) {
      _keepAlive = false;  // writeResponse ends the connection after the answer
      if (_connectionState == READ_REQUEST && !readRequest()) return 0;
      if (_connectionState == WRITE_RESPONSE && !writeResponse()) return 0;
      return _connectionState == WRITE_RESPONSE ? XmlRpcDispatch::WritableEvent
                                                : XmlRpcDispatch::ReadableEvent;
    }
    if (_connectionState == READ_REQUEST && !readRequest()) return 0;
    if (_connectionState != WRITE_RESPONSE) return XmlRpcDispatch::ReadableEvent;
    // The request is complete.
    if (!noted_) {
      noted_ = true;
      listener_->NoteUnansweredCall(_request);
      if (behaviour.drop) return 0;
    }
    char buffer[4096];
    const ssize_t got = read(getfd(), buffer, sizeof buffer);
    if (got == 0 || (got < 0 && !XmlRpcSocket::nonFatalError())) return 0;
    return XmlRpcDispatch::ReadableEvent;
  }

 private:
  // --drop-after: answers as usual, keeping the connection, until limit calls
  // are answered; the next request is read, logged and dropped unanswered.
  unsigned AnswerUntilDrop(int limit) {
    if (_connectionState == READ_HEADER && !readHeader()) return 0;
    if (_connectionState == READ_REQUEST && !readRequest()) return 0;
    if (_connectionState == WRITE_RESPONSE) {
      if (answered_ == limit) {
        listener_->NoteUnansweredCall(_request);
        return 0;
      }
      if (!writeResponse()) return 0;
      if (_connectionState != WRITE_RESPONSE) ++answered_;  // the answer is out
    }
    return _connectionState == WRITE_RESPONSE ? XmlRpcDispatch::WritableEvent
                                              : XmlRpcDispatch::ReadableEvent;
  }

  TrialListener* listener_;
  bool noted_ = false;
  int answered_ = 0;
};

// The XML of an int inside depth arrays, written as text: the library's own
// writer (and parser) would recurse once per level.
std::string NestedAnswer(int depth) {
  const std::string open = "<value><array><data>";
  const std::string close = "</data></array></value>";
  std::string xml;
  xml.reserve(static_cast<size_t>(depth) * (open.size() + close.size()) + 32);
  for (int i = 0; i < depth; ++i) xml += open;
  xml += "<value><i4>1</i4></value>";
  for (int i = 0; i < depth; ++i) xml += close;
  return xml;
}

}  // namespace

void SilenceXmlRpcLibrary() {
  static SilentErrors silent_errors;
  static SilentLog silent_log;
  XmlRpc::XmlRpcErrorHandler::setErrorHandler(&silent_errors);
  XmlRpc::XmlRpcLogHandler::setLogHandler(&silent_log);
  XmlRpc::setVerbosity(0);
}

TrialListener::TrialListener(TrialProject* project, const TrialBehaviour& behaviour,
                             std::FILE* log, const volatile std::sig_atomic_t* stop)
    : project_(project), behaviour_(behaviour), log_(log), stop_(stop) {
  // The same for every call: made once.
  if (behaviour_.nested > 0) {
    misfit_answer_ = NestedAnswer(behaviour_.nested);
  } else if (behaviour_.huge_string) {
    XmlRpcValue huge;
    huge[0] = std::string(kHugeStringBytes, 'x');
    misfit_answer_ = huge.toXml();
  }
}

bool TrialListener::Listen(const std::string& host, int port, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    *error = "cannot resolve host " + host;
    return false;
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  address.sin_port = htons(static_cast<uint16_t>(port));

  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 64) != 0 || fcntl(fd, F_SETFL, O_NONBLOCK) != 0) {
    *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " +
             std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  setfd(fd);
  _disp.addSource(this, XmlRpcDispatch::ReadableEvent);
  return true;
}

XmlRpcServerConnection* TrialListener::createConnection(XmlRpcSocket::Socket socket) {
  return new TrialConnection(socket, this);
}

void TrialListener::LogCall(const std::string& method, const XmlRpcValue& params) {
  if (log_ == nullptr) return;
  // Each call of a multicall is logged as its own line, as if sent alone; the
  // multicall itself leaves no line unless it is refused.
  const XmlRpcValue* calls = MulticallCalls(params);
  if (method == kMulticall && !behaviour_.no_multicall && calls != nullptr) {
    for (int i = 0; i < calls->size(); ++i) {
      std::string inner;
      XmlRpcValue inner_params;
      if (InnerCall((*calls)[i], &inner, &inner_params)) LogCall(inner, inner_params);
    }
    return;
  }
  if (method == kMulticall) {
    const std::string line = std::string(kMulticall) + "\n";
    std::fwrite(line.data(), 1, line.size(), log_);
    std::fflush(log_);
    return;
  }
  const std::string line = CallLine(method, params) + "\n";
  std::fwrite(line.data(), 1, line.size(), log_);
  std::fflush(log_);
}

bool TrialListener::Faults(const std::string& method) const {
  return behaviour_.faults.count("all") != 0 || behaviour_.faults.count(method) != 0;
}

void TrialListener::NoteUnansweredCall(const std::string& request) {
  XmlRpcValue params;
  const std::string method = parseRequest(request, params);
  LogCall(method, params);
}

std::string TrialListener::executeRequest(const std::string& request) {
  XmlRpcValue params;
  const std::string method = parseRequest(request, params);
  LogCall(method, params);

  // Answer late; a stop signal cuts the wait short.
  timespec step{0, 20 * 1000 * 1000};
  for (double waited = 0; waited < behaviour_.delay_s && !*stop_; waited += 0.02)
    nanosleep(&step, nullptr);

  if (!misfit_answer_.empty()) return generateResponse(misfit_answer_);  // whatever the method
  if (method == kMulticall && !behaviour_.no_multicall) return AnswerMulticall(params);
  if (Faults(method)) return generateFaultResponse(method + ": fault on request", 1);
  TrialAnswer answer;
  try {
    answer = AnswerCall(method, params, *project_, behaviour_.refuse_writes);
  } catch (const XmlRpc::XmlRpcException& e) {
    return generateFaultResponse(method + ": " + e.getMessage(), 2);
  }
  if (answer.fault) return generateFaultResponse(answer.fault_text, 3);
  if (behaviour_.wrong_types) SwapAnswerTypes(&answer.value);
  if (answer.end_process) end_requested_ = true;
  return generateResponse(answer.value.toXml());
}

XmlRpcValue TrialListener::AnswerInnerCall(const XmlRpcValue& call) {
  std::string method;
  XmlRpcValue params;
  if (!InnerCall(call, &method, &params)) return FaultElement(4, "system.multicall: bad call");
  if (method == kMulticall) return FaultElement(4, "system.multicall: not inside a multicall");
  if (Faults(method)) return FaultElement(1, method + ": fault on request");
  TrialAnswer answer;
  try {
    answer = AnswerCall(method, params, *project_, behaviour_.refuse_writes);
  } catch (const XmlRpc::XmlRpcException& e) {
    return FaultElement(2, method + ": " + e.getMessage());
  }
  if (answer.fault) return FaultElement(3, answer.fault_text);
  if (behaviour_.wrong_types) SwapAnswerTypes(&answer.value);
  if (answer.end_process) end_requested_ = true;
  XmlRpcValue element;
  element.setSize(1);
  element[0] = answer.value;
  return element;
}

// Every call answered in order, each alone; --multicall-shape bends the answer
// the way a faulty runtime might.
std::string TrialListener::AnswerMulticall(const XmlRpcValue& params) {
  const XmlRpcValue* calls = MulticallCalls(params);
  if (calls == nullptr) return generateFaultResponse("system.multicall: expects one array", 4);
  const std::string& shape = behaviour_.multicall_shape;
  if (shape == "scalar") return generateResponse(XmlRpcValue(calls->size()).toXml());
  XmlRpcValue answer;
  answer.setSize(0);
  int n = 0;
  for (int i = 0; i < calls->size(); ++i) {
    XmlRpcValue element = AnswerInnerCall((*calls)[i]);
    const bool answered = element.getType() == XmlRpcValue::TypeArray;
    if (shape == "flat" && answered) element = XmlRpcValue(element[0]);
    if (shape == "odd-types" && answered && i % 2 == 1) SwapAnswerTypes(&element[0]);
    if (shape == "short" && i == calls->size() - 1) break;
    answer[n++] = element;
  }
  if (shape == "long") answer[n++] = answer.size() > 0 ? XmlRpcValue(answer[0]) : XmlRpcValue(0);
  return generateResponse(answer.toXml());
}

// listener.h: the trial runtime's XML-RPC server: listens on one address,
// logs every call, answers it from the project (methods.h) and misbehaves on
// request (faults, late answers, no answers, dropped connections, wrong types,
// answers nested too deep or too long).
// Built on the library's XmlRpcServer; the library itself prints nothing.
#pragma once

#include <flxmlrpc/XmlRpc.h>

#include <csignal>
#include <cstdio>
#include <set>
#include <string>

#include "project.h"

// How the trial runtime answers, from its command line.
struct TrialBehaviour {
  std::set<std::string> faults;  // methods answered with a fault; "all" for every method
  double delay_s = 0;            // every answer this many seconds late
  bool hang = false;             // read each request, never answer, keep the connection
  bool drop = false;             // read each request, close the connection unanswered
  bool wrong_types = false;      // ints answered as strings and strings as ints
  bool refuse_writes = false;    // every write answers status 0
  bool close = false;            // close each connection after its answer (no keep-alive)
  int drop_after = -1;           // >= 0: on each connection, drop the call after that many answers
  bool no_multicall = false;     // "system.multicall" answers a fault, as an unknown method
  std::string multicall_shape;   // a wrong "system.multicall" answer (see README.md), or ""
  int nested = 0;                // above 0: every answer is one int inside this many arrays
  bool huge_string = false;      // every answer is one string of kHugeStringBytes
};

// The length of the string that --huge-string answers: twice what a caller reads.
constexpr size_t kHugeStringBytes = 2 * 1024 * 1024;

// Makes the library silent: an error handler and a log handler that drop
// everything, verbosity 0. Call once before the first server or client is made.
void SilenceXmlRpcLibrary();

class TrialListener : public XmlRpc::XmlRpcServer {
 public:
  // project is answered from and written to; log (may be null) receives one
  // line per call; *stop is checked while an answer is held back by delay_s.
  TrialListener(TrialProject* project, const TrialBehaviour& behaviour, std::FILE* log,
                const volatile std::sig_atomic_t* stop);

  // Binds host (name or IPv4 address) and port (0: a free one) and listens.
  // False with *error set when that fails.
  bool Listen(const std::string& host, int port, std::string* error);
  int Port() const { return port_; }
  // Set once a "comablaufkern" 110 has been answered.
  bool EndRequested() const { return end_requested_; }

  // Logs the call, then answers it (or a fault) after the delay.
  std::string executeRequest(const std::string& request) override;
  // For requests that are read but never answered (--hang, --drop): logs the call.
  void NoteUnansweredCall(const std::string& request);
  const TrialBehaviour& behaviour() const { return behaviour_; }

 protected:
  XmlRpc::XmlRpcServerConnection* createConnection(XmlRpc::XmlRpcSocket::Socket socket) override;

 private:
  void LogCall(const std::string& method, const XmlRpc::XmlRpcValue& params);
  // One element of a "system.multicall" answer: [answer], or a fault struct.
  XmlRpc::XmlRpcValue AnswerInnerCall(const XmlRpc::XmlRpcValue& call);
  std::string AnswerMulticall(const XmlRpc::XmlRpcValue& params);
  bool Faults(const std::string& method) const;

  TrialProject* project_;
  TrialBehaviour behaviour_;
  std::FILE* log_;
  const volatile std::sig_atomic_t* stop_;
  int port_ = 0;
  bool end_requested_ = false;
  std::string misfit_answer_;  // the XML of --nested or --huge-string, else empty
};

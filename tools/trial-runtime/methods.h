// methods.h: what the trial runtime answers to each XML-RPC method, from its
// project, and the form of a call in the call log. Knows nothing of sockets or
// of the misbehaviour options but --refuse-writes (see listener.h).
#pragma once

#include <flxmlrpc/XmlRpcValue.h>

#include <string>

#include "project.h"

struct TrialAnswer {
  bool fault = false;          // answer with a fault (text in fault_text)
  std::string fault_text;
  XmlRpc::XmlRpcValue value;   // the answer, an array
  bool end_process = false;    // "comablaufkern" 110: end once answered
};

// Answers one call; "setvarbyidx" and "setvarbyname" store into project. A
// method it does not know, or parameters of another count or type, answer a fault.
TrialAnswer AnswerCall(const std::string& method, const XmlRpc::XmlRpcValue& params,
                       TrialProject& project, bool refuse_writes);

// For --wrong-types: every int of the answer becomes its decimal text and every
// string becomes an int (its leading number, else 0).
void SwapAnswerTypes(XmlRpc::XmlRpcValue* answer);

// The call's log line (without the line feed): the method, then each parameter
// after a tab, ints in decimal and strings as their bytes.
std::string CallLine(const std::string& method, const XmlRpc::XmlRpcValue& params);

// commands.h: one request to the administration interface, from the query
// string to the page: load the runtime address, check the access code, run the
// one command of the query and write its page. Tested by tests/interface_test.cc.
#pragma once

#include <string>

// One request to the administration interface, as main.cc reads it from the
// CGI environment (the only place that reads it).
struct InterfaceRequestRec {
  bool HasQuery = false;  // whether QUERY_STRING is set at all
  std::string Query;      // QUERY_STRING, as received
  std::string RemoteAddr;  // REMOTE_ADDR; "127.0.0.1" when unset
  std::string HttpHost;   // HTTP_HOST (empty when unset)
};

// Handles one request and writes its page; a request for a host name that is
// not the box's gets the host check's error page and nothing else is done.
void RunInterface(const InterfaceRequestRec& request);

// Runs the command of query (field 1, exact and case-sensitive, with field 2 as
// its argument) and writes its page; an unknown or empty command word gives the
// error page "INVALID CALL:" and the word. The access check is done before.
void DispatchCommand(const std::string& query);

// commands.h: one request to the administration interface, from the query
// string to the page: load the runtime address, check the access code, run the
// one command of the query and write its page. Tested by commands_test.cc and
// tests/interface_test.cc.
#pragma once

#include <string>

// Handles the request whose "QUERY_STRING" is query_string (null when it is not set).
void RunInterface(const char* query_string);

// Runs the command of query (field 1, exact and case-sensitive, with field 2 as
// its argument) and writes its page; an unknown or empty command word gives the
// error page "INVALID CALL:" and the word. The access check is done before.
void DispatchCommand(const std::string& query);

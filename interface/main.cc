// main.cc: TelvarinInterface, the administration interface CGI program. Reads
// the request from the CGI environment (the only place that reads it), hands it
// to RunInterface (commands.h) and always ends with status 0.
#include <cstdlib>

#include "interface/commands.h"

int main() {
  try {
    InterfaceRequestRec request;
    if (const char* query = std::getenv("QUERY_STRING")) {
      request.HasQuery = true;
      request.Query = query;
    }
    const char* addr = std::getenv("REMOTE_ADDR");
    request.RemoteAddr = addr && *addr ? addr : "127.0.0.1";
    if (const char* host = std::getenv("HTTP_HOST")) request.HttpHost = host;
    RunInterface(request);
  } catch (...) {
    // nothing may escape; the page (if any) stays as written
  }
  return 0;
}

// main.cc: TelvarinServer, the CGI program of the site pages. Reads the CGI
// environment into the request's CGI record (the only place that reads the
// environment) and hands it to the request road (request.cc). The exit status
// is always 0.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/request.h"

namespace {

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : std::string();
}

}  // namespace

int main() {
  try {
    CgiRequestRec cgi;
    cgi.Method = EnvOrEmpty("REQUEST_METHOD");
    cgi.QueryString = EnvOrEmpty("QUERY_STRING");
    cgi.ContentLength = EnvOrEmpty("CONTENT_LENGTH");
    cgi.RemoteAddr = EnvOrEmpty("REMOTE_ADDR");
    cgi.HttpHost = EnvOrEmpty("HTTP_HOST");
    cgi.UserAgent = EnvOrEmpty("HTTP_USER_AGENT");
    cgi.SecFetchSite = EnvOrEmpty("HTTP_SEC_FETCH_SITE");
    cgi.Origin = EnvOrEmpty("HTTP_ORIGIN");
    cgi.Body = stdin;
    return HandleCgiRequest(cgi);
  } catch (...) {
    return 0;  // nothing may escape; the page (if any) stays as written
  }
}

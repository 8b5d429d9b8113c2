// request.h: the request record of TelvarinServer: the values that the request
// road fills once per run and that the page writers read. All start empty.
// Tested through the program tests in tests/.
#pragma once

#include <cstdio>
#include <string>

#include "server/requestorigin.h"

struct RequestRec {
  std::string RequestData;  // raw request text: the query string (GET) or body (POST); never decoded whole
  std::string SiteName;     // the site; names the site, page, user and session files
  std::string BaseDir;      // the site directory (kSiteDir), always ending in "/"
  std::string PageName;     // the page of the site to show
  std::string SessionId;    // the request's session id; empty when not signed on
  std::string AbKeCfgPath;  // the runtime configuration file (kRuntimeDir + "ABLKRN.CFG")
  std::string ClientAddr;   // REMOTE_ADDR, or "127.0.0.1" when unset
  std::string HttpHost;     // HTTP_HOST, as the browser sent it (test mode shows it)
  std::string UserAgent;    // HTTP_USER_AGENT, as the browser sent it (test mode shows it)
  // What the form rules judge (method, origin headers, the form's "ST=" stamp
  // from the address; the site's stamp is added after any compile). The stamp
  // is compared only, never written anywhere.
  FormRequestRec Form;
};
extern RequestRec Request;  // filled by the request road (request.cc); AbKeURL lives in config.h

// The CGI values of one request, read from the environment by main.cc (the
// only place that reads it); unset variables are empty.
struct CgiRequestRec {
  std::string Method;         // REQUEST_METHOD
  std::string QueryString;    // QUERY_STRING
  std::string ContentLength;  // CONTENT_LENGTH
  std::string RemoteAddr;     // REMOTE_ADDR
  std::string HttpHost;       // HTTP_HOST
  std::string UserAgent;      // HTTP_USER_AGENT
  std::string SecFetchSite;   // HTTP_SEC_FETCH_SITE
  std::string Origin;         // HTTP_ORIGIN
  std::FILE* Body = nullptr;  // where a POST body is read from (standard input)
};

// The request road: reads the POST body, settles the sign-on and writes exactly
// one page. Always returns 0 (the exit status).
int HandleCgiRequest(const CgiRequestRec& cgi);

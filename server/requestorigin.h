// requestorigin.h: whether a request comes from the box's own pages, by what
// the browser says about it. A page of another site that a LAN user opens can
// make the browser send a form to the box (a text/plain POST, an <img> GET);
// such a request must not write values or start macros.
// Tested by requestorigin_test.cc and tests/server_form_test.cc.
#pragma once

#include <string>

// The values are the request's "Sec-Fetch-Site", "Origin" and "Host" headers
// as sent (empty when absent). When "Sec-Fetch-Site" is there it decides: only
// "same-origin" and "none" (typed address, bookmark) are the box's own.
// Otherwise, when "Origin" is there, it must name the same host and port as
// "Host" (compared without case; a scheme's default port may be left out on
// either side); "null" and anything that is not scheme "://" host[:port] fail.
// A request with neither header (older browsers, scripts) counts as the box's own.
bool IsSameSiteRequest(const std::string& sec_fetch_site, const std::string& origin,
                       const std::string& host);

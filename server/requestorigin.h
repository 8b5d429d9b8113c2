// requestorigin.h: whether a request's form fields may be applied, by what the
// browser says about where the request comes from and the stamp of the page
// the form was sent from. A page of another site that a LAN user opens can
// make the browser send a form to the box (a text/plain POST, an <img> GET),
// and a link in a mail can carry form fields; such requests must not write
// values or start macros, nor may a form of a page from an older compile.
// Tested by requestorigin_test.cc and tests/server_form_test.cc.
#pragma once

#include <string>

// What the request road does with a request's form fields.
enum class FormVerdict {
  kApply,             // apply the fields that the page offers
  kStale,             // apply nothing; the page again with the stale-form notice
  kAsWithoutFields,   // apply nothing; the page as for a request without fields
  kForeign,           // the same, and the browser names another site as the source
};

// A request as the form rules see it.
struct FormRequestRec {
  std::string method;          // REQUEST_METHOD
  std::string sec_fetch_site;  // the headers as sent, empty when absent
  std::string origin;
  std::string host;
  bool has_stamp = false;      // the request's address carried "ST="
  std::string stamp;           // its value
  std::string site_stamp;      // the site definition file's stamp now, after any compile
};

// With "Sec-Fetch-Site" (every current browser sends it): only a POST with
// "same-origin" and the site's stamp applies; such a POST without a stamp or
// with another one is stale; "same-origin" or "none" otherwise (a GET with
// fields, a typed address, a link from a mail) is as without fields; any other
// value is foreign. Without it (scripts, older browsers): an "Origin" that is
// not the request's own (IsSameSiteRequest) is foreign, a stamp that is there
// and not the site's is stale (on a GET too), anything else applies.
FormVerdict JudgeFormRequest(const FormRequestRec& request);

// The values are the request's "Sec-Fetch-Site", "Origin" and "Host" headers
// as sent (empty when absent). When "Sec-Fetch-Site" is there it decides: only
// "same-origin" and "none" (typed address, bookmark) are the box's own.
// Otherwise, when "Origin" is there, it must name the same host and port as
// "Host" (compared without case; a scheme's default port may be left out on
// either side); "null" and anything that is not scheme "://" host[:port] fail.
// A request with neither header (older browsers, scripts) counts as the box's own.
bool IsSameSiteRequest(const std::string& sec_fetch_site, const std::string& origin,
                       const std::string& host);

// requestorigin_test.cc: which headers make a request the box's own, and
// which of the requests whose fields are not applied name another site (every
// method, stamp and Sec-Fetch-Site through the program: tests/server_form_test.cc).
#include "server/requestorigin.h"

#include <gtest/gtest.h>

namespace {

struct OriginCase {
  const char* fetch_site;
  const char* origin;
  const char* host;
  bool same;
};
const OriginCase kOriginCases[] = {
    {"", "", "box:8080", true},  // neither header: older browsers, scripts
    {"same-origin", "", "box", true},
    {"none", "", "box", true},
    {"cross-site", "", "box", false},
    {"same-site", "http://box", "box", false},  // a neighbour on the same domain
    {"cross-site", "http://box", "box", false},  // the fetch header decides
    {"same-origin", "http://evil", "box", true},
    {"SAME-ORIGIN", "", "box", false},
    {"", "http://box:8080", "box:8080", true},
    {"", "http://BOX:8080", "box:8080", true},
    {"", "http://box", "box:80", true},
    {"", "http://box:80", "box", true},
    {"", "https://box", "box:443", true},
    {"", "https://box", "box:80", false},
    {"", "http://box:8081", "box:8080", false},
    {"", "http://evil:8080", "box:8080", false},
    {"", "http://box.evil", "box", false},
    {"", "http://[::1]:8080", "[::1]:8080", true},
    {"", "null", "box", false},  // sandboxed frames, data: pages
    {"", "http://box/", "box", false},
    {"", "http://user@box", "box", false},
    {"", "http://", "", false},
    {"", "://box", "box", false},
    {"", "http://box", "", false},
};

TEST(IsSameSiteRequest, Headers) {
  for (const auto& c : kOriginCases)
    EXPECT_EQ(c.same, IsSameSiteRequest(c.fetch_site, c.origin, c.host))
        << c.fetch_site << " | " << c.origin << " | " << c.host;
}

struct VerdictCase {
  const char* method;
  const char* fetch_site;
  const char* origin;
  const char* stamp;  // nullptr: none
  FormVerdict verdict;
};

TEST(JudgeFormRequest, ForeignOnlyWhenTheBrowserNamesAnotherSite) {
  const VerdictCase cases[] = {
      {"POST", "same-origin", "", "1-2-3", FormVerdict::kApply},
      {"POST", "same-origin", "http://evil", nullptr, FormVerdict::kStale},
      {"GET", "same-origin", "", "1-2-3", FormVerdict::kAsWithoutFields},
      {"POST", "none", "", "1-2-3", FormVerdict::kAsWithoutFields},
      {"GET", "none", "", nullptr, FormVerdict::kAsWithoutFields},
      {"POST", "same-site", "", "1-2-3", FormVerdict::kForeign},
      {"GET", "cross-site", "", nullptr, FormVerdict::kForeign},
      {"POST", "", "http://evil", "1-2-3", FormVerdict::kForeign},
      {"GET", "", "http://box", "0-0-0", FormVerdict::kStale},
  };
  for (const auto& c : cases) {
    FormRequestRec request;
    request.method = c.method;
    request.sec_fetch_site = c.fetch_site;
    request.origin = c.origin;
    request.host = "box";
    request.has_stamp = c.stamp != nullptr;
    request.stamp = c.stamp ? c.stamp : "";
    request.site_stamp = "1-2-3";
    EXPECT_EQ(c.verdict, JudgeFormRequest(request))
        << c.method << " " << c.fetch_site << " " << c.origin << " " << (c.stamp ? c.stamp : "-");
  }
}

}  // namespace

// requestorigin_test.cc: which headers make a request the box's own.
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

}  // namespace

// page_fuzz.cc: a page file through the renderer with the runtime down (no
// address), the output captured. The same bytes are read as a site definition
// file first, so the site-wide settings (TESTMODE among them) come from the
// input too.
// Promises checked: the file is read to its end and the page is whole: it
// begins with the CGI header and ends with the closing tags.
#include <string>

#include "fuzz/fuzz_support.h"
#include "common/config.h"
#include "common/output.h"
#include "server/render.h"
#include "server/request.h"
#include "server/sitefiles.h"

using fuzzsupport::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzzsupport::WriteScratchFile(bytes);
  AbKeURL.clear();  // every runtime call fails at once
  Request = RequestRec();
  Request.SiteName = "FUZZ";
  Request.PageName = "Seite";
  Request.SessionId = "123";
  Request.RequestData = "SP=FUZZ&sitename=Seite&sid=123";
  SiteSettings = SiteSettingsRec();
  PageSettings = PageSettingsRec();
  Require(ReadSiteSettings(path) == 1, "a site file that exists is read");

  std::string page;
  SetOutputCapture(&page);
  const int result = RenderSitePage(path);
  SetOutputCapture(nullptr);
  Require(result == 0, "a page file that exists is rendered");
  const std::string head = "Content-type: text/html\n\n";
  const std::string tail = "</body></html>\n";
  Require(page.compare(0, head.size(), head) == 0, "the page begins with the CGI header");
  Require(page.size() >= tail.size() && page.compare(page.size() - tail.size(), tail.size(), tail) == 0,
          "the page ends with its closing tags");
  return 0;
}

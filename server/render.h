// render.h: writes one whole site page while reading its page file line by
// line. Tested by render_test.cc and tests/server_page_test.cc.
#pragma once

#include <string>
#include <vector>

// Writes the CGI header, the document type and the page for the page file at
// path. Returns 0 after a complete page, 3 when the file cannot be opened (a
// short "File not Found" page is written then). The caller ignores the result.
// form_stamp (the site's compile stamp, taken before this call) goes into the
// form's address when not empty; each notice is one line above the first
// object table (before the button row on a page without one).
int RenderSitePage(const std::string& path, const std::string& form_stamp = std::string(),
                   const std::vector<std::string>& notices = std::vector<std::string>());

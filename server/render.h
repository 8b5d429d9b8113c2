// render.h: writes one whole site page while reading its page file line by
// line. Tested by render_test.cc and tests/server_page_test.cc.
#pragma once

#include <string>

// Writes the CGI header, the document type and the page for the page file at
// path. Returns 0 after a complete page, 3 when the file cannot be opened (a
// short "File not Found" page is written then). The caller ignores the result.
int RenderSitePage(const std::string& path);

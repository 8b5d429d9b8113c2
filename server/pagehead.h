// pagehead.h: the fixed pieces of a site page: the viewport rule, the head with
// its style sheet, the body start, test mode lines, heading and form start; the
// navigation paragraph; the reload script. They read PageSettings, SiteSettings
// and the request record, and write through WriteLine. Tested by pagehead_test.cc.
#pragma once

#include <string>

#include "server/sitefiles.h"

// The CSS declarations of one font class, e.g. "font-family: Arial; font-size:12pt; color:#; background-color:#; ".
std::string FontToCss(const FontSpec& font);

// Writes the viewport line, or nothing when autoWidth is off and width is 0 or
// below. Site pages pass PageSettings' values, the fixed pages SiteSettings'.
void WriteViewportMeta(bool autoWidth, bool noAutoScale, int width);

// Writes everything from "<html>" to the form start: head, viewport, style
// sheet, body start, width container, test mode lines, heading, form start.
void WritePageHead();

// The most links one navigation paragraph writes, whatever the header asks.
constexpr int kMaxNavEntries = 1000;

// Writes one navigation paragraph for a "NAVI" value: navEntryCount links (at
// most kMaxNavEntries; page links or, for a target starting ">", outside links,
// empty ones past the list's end), then the sign-off link.
void WriteNavigationBar(const std::string& list);

// Writes the script that keeps the page named by pageTitle up to date every
// AutoAktSec seconds (at least 5; AutoAktSec is raised to 5 when below): it
// fetches the page's address and changes in place the values, HTML blocks and
// untouched fields that changed; when the answer is another page (or in a
// browser without fetch) it navigates there, but not while a form element
// has the focus or differs from what the page was loaded with. A tick does
// nothing while the page is hidden; it follows at once when shown again.
void WriteAutoRefresh();

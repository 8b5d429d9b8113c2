// pagehead.cc: the fixed pieces of a site page that do not come from table
// rows: viewport rule, head and style sheet, body start and width container,
// test mode lines, heading, form start, navigation paragraph and reload script.
// Reads PageSettings, SiteSettings and the request record; writes through
// WriteLine. The renderer (render.cc) decides when each piece is written.
// Tested by pagehead_test.cc and tests/server_page_test.cc; what the reload
// script holds back, by tests/e2e/browser.js.
#include "server/pagehead.h"

#include "common/htmlescape.h"
#include "common/output.h"
#include "server/request.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kPasswordKey[] = "Passw=";

// The request text as test mode shows it: every "Passw" field's value as "***",
// so a password typed into the login form never appears in a page.
std::string RequestDataShown(const std::string& data) {
  std::string shown;
  size_t start = 0;
  for (;;) {
    const size_t amp = data.find('&', start);
    std::string field = data.substr(start, amp == std::string::npos ? amp : amp - start);
    if (field.compare(0, sizeof kPasswordKey - 1, kPasswordKey) == 0)
      field = std::string(kPasswordKey) + "***";
    shown += field;
    if (amp == std::string::npos) return shown;
    shown += '&';
    start = amp + 1;
  }
}

// The link that makes request entry sign the session off. The address ends
// with a blank before its closing quote, as the pages have always had it.
std::string SignoffLink() {
  return "<a href=\"TelvarinServer.ccc?SP=" + Request.SiteName + "&sitename=signoff&sid=" +
         Request.SessionId + " \">Abmelden</a>";
}

// The reload script's refresh() skips a tick while the page is hidden and
// asks to be called again when the page is shown, so a page nobody looks at
// costs no program run and no runtime reads, yet reloads as soon as it is seen
// with a reload overdue; called while shown, it drops that request. It skips a
// tick while the reader is busy with a form (refreshWaits): a reload would
// throw away what is being typed. Written before the address line, which ends
// the function.
const char* const kRefreshBodyStart[] = {
    "{var d = document;",
    "if (d.hidden) {d.addEventListener('visibilitychange', refresh); return}",
    "if (d.removeEventListener) d.removeEventListener('visibilitychange', refresh);",
    "if (refreshWaits()) return;",
};

// True while an input element of a form has the focus, or any element's
// value, tick or selection differs from what the page was loaded with (the
// defaults the browser keeps), so sending or resetting the form ends the wait.
// A single selection with no option marked shows its first one. Buttons and
// hidden fields never count, so the reset button keeping the focus after a
// reset does not hold the reload.
const char* const kRefreshWaits[] = {
    "function refreshWaits()",
    "{var d = document, a = d.activeElement, skip = /^(submit|reset|button|image|hidden)$/,",
    " i, j, k, n, e, o;",
    "if (a && a.form && !skip.test(a.type)) return true;",
    "for (i = 0; i < d.forms.length; i++) for (j = 0; j < d.forms[i].elements.length; j++) {",
    " e = d.forms[i].elements[j]; o = e.options;",
    " if (o) {n = e.multiple || e.size > 1 || !o.length ? -1 : 0;",
    "  for (k = 0; k < o.length; k++) {if (o[k].defaultSelected) n = k;",
    "   if (e.multiple && o[k].selected != o[k].defaultSelected) return true}",
    "  if (!e.multiple && e.selectedIndex != n) return true}",
    " else if (e.type == 'checkbox' || e.type == 'radio') {",
    "  if (e.checked != e.defaultChecked) return true}",
    " else if (!skip.test(e.type) && e.value != e.defaultValue) return true}",
    "return false}",
};

}  // namespace

std::string FontToCss(const FontSpec& font) {
  std::string css = "font-family: " + font.name + "; ";
  if (font.style & 1) css += "font-weight: bold; ";
  if (font.style & 2) css += "font-style: italic; ";
  if (font.style & 4) css += "text-decoration: underline; ";
  css += "font-size:" + IntToStrS(font.size) + "pt; ";
  // An empty colour is not "000000": it gives an empty declaration.
  if (font.colour != "000000") css += "color:#" + font.colour + "; ";
  if (font.backColour != "000000") css += "background-color:#" + font.backColour + "; ";
  return css;
}

void WriteViewportMeta(bool autoWidth, bool noAutoScale, int width) {
  if (autoWidth) {
    WriteLine(noAutoScale
                  ? "<meta name=\"viewport\" content=\"user-scalable=no, width=device-width\">"
                  : "<meta name=\"viewport\" content=\"width=device-width\">");
  } else if (width > 0) {
    // The fixed-width form with user-scalable=no has a blank and no comma before "width=".
    WriteLine(std::string("<meta name=\"viewport\" content=\"") +
              (noAutoScale ? "user-scalable=no width=" : "width=") + IntToStrS(width) + "\">");
  }
}

void WritePageHead() {
  const PageSettingsRec& p = PageSettings;
  WriteLine("<html><head><title>" + p.pageTitle + "</title>");
  WriteLine("<meta content='text/html; charset=ISO-8859-1' http-equiv='content-type'>");
  WriteViewportMeta(p.AUTOWIDTH, p.NOAUTOSCALE, p.BW);
  WriteLine("<style type=\"text/css\">");
  WriteLine("h1 {" + FontToCss(p.HEAD) +
            (p.LMHL < 1 ? std::string("text-align:center; }")
                        : "text-align:left; margin-left:" + IntToStrS(p.LMHL) + "mm }"));
  WriteLine(".objcs {" + FontToCss(p.OBJ) + "}");
  WriteLine(".valcs {" + FontToCss(p.VAL) + "}");
  WriteLine(".maccs {" + FontToCss(p.OBJ) + "}");
  WriteLine(".navics {" + FontToCss(p.NAV) + "}");
  WriteLine("</style>");
  if (p.BG != "FFFFFF" && !p.BG.empty()) {
    WriteLine("</head><body style=\"background-color:#" + p.BG + "\">");
  } else {
    WriteLine("</head><body>");
  }
  if (p.PW > 0) WriteLine("<div style=\"width: " + IntToStrS(p.PW) + "px;\">");
  if (SiteSettings.TESTMODE) {
    WriteLine("Input: " + HtmlValue(RequestDataShown(Request.RequestData)) + "<br><br>");
    WriteLine("ENV-VARS Host: " + HtmlValue(Request.HttpHost) +
              "  USER_AGENT:" + HtmlValue(Request.UserAgent) + "<br><br>");
    WriteLine("Browserwidth: " + IntToStrS(p.BW));
  }
  WriteLine("<h1>" + p.SHEAD + "</h1>");
  if (p.hasForm) {
    // The hidden values are not quoted; form submission reads these three back.
    WriteLine("<form name=\"FORM1\" action=\"TelvarinServer.ccc\" method=\"POST\">");
    WriteLine("<input type=\"hidden\" name=\"SP\" value=" + Request.SiteName + ">");
    WriteLine("<input type=\"hidden\" name=\"sitename\" value=" + Request.PageName + ">");
    WriteLine("<input type=\"hidden\" name=\"sid\" value=" + Request.SessionId + ">");
  }
}

void WriteNavigationBar(const std::string& list) {
  const PageSettingsRec& p = PageSettings;
  if (p.LMOBJ > 0) {
    WriteLine("<p class=\"navics\" style=\"text-align:left; margin-left:" + IntToStrS(p.LMOBJ) +
              "mm\"><br>");
  } else {
    WriteLine("<p class=\"navics\" align=\"center\" ><br>");
  }
  // Older page files join entries with "@" and label and target with ":"; from
  // file version 140 on, control bytes that cannot occur in a label are used.
  const bool old_separators = p.FILEVERS <= 139;
  const char entry_sep = old_separators ? '@' : '\x0B';
  const char field_sep = old_separators ? ':' : '\x03';
  if (!list.empty()) {
    // Entries past the end of the list are empty links, but a header count of
    // up to INT_MAX ("#9000=99999999999") must not write gigabytes of them.
    const int count = p.navEntryCount < kMaxNavEntries ? p.navEntryCount : kMaxNavEntries;
    for (int i = 1; i <= count; ++i) {
      const std::string entry = StrGetIndex(list, i, entry_sep);
      const std::string label = StrGetIndex(entry, 1, field_sep);
      const std::string target = StrGetIndex(entry, 2, field_sep);
      if (!target.empty() && target[0] == '>') {
        WriteLine("<a href=\"http://" + target.substr(1) + "\">" + label + "</a> &nbsp;");
      } else {
        WriteLine("<a href=\"TelvarinServer.ccc?SP=" + Request.SiteName + "&sitename=" + target +
                  "&sid=" + Request.SessionId + "\">" + label + "</a> &nbsp;");
      }
    }
  }
  WriteLine(SignoffLink());
  WriteLine("<br></p>");
}

void WriteAutoRefresh() {
  PageSettingsRec& p = PageSettings;
  if (p.AutoAktSec < 5) p.AutoAktSec = 5;
  // In 64 bits: a large interval from the page file must not overflow.
  const long long interval_ms = 1000LL * p.AutoAktSec;
  WriteLine("<script language=\"JavaScript\"><!--");
  WriteLine("function refresh()");
  for (const char* line : kRefreshBodyStart) WriteLine(line);
  WriteLine("window.location.href = 'TelvarinServer.ccc?SP=" + Request.SiteName +
            "&sitename=" + p.pageTitle + "&sid=" + Request.SessionId + "'}");
  for (const char* line : kRefreshWaits) WriteLine(line);
  WriteLine("setInterval(\"refresh()\"," + std::to_string(interval_ms) + ")");
  WriteLine("//--></script>");
}

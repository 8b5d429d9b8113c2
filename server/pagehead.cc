// pagehead.cc: the fixed pieces of a site page that do not come from table
// rows: viewport rule, head and style sheet, body start and width container,
// test mode lines, heading, form start, navigation paragraph and reload script.
// Reads PageSettings, SiteSettings and the request record; writes through
// WriteLine. The renderer (render.cc) decides when each piece is written.
// Tested by pagehead_test.cc and tests/server_page_test.cc; what the reload
// script does in a browser (the live update and its fallback), by
// tests/e2e/browser.js.
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
// costs no program run and no runtime reads, yet is brought up to date as soon
// as it is seen; called while shown, it drops that request. Then it fetches
// the page's own address and changes in place what changed (rfLive); the
// navigation below the live attempt is the fallback, held back while the
// reader is busy with a form (rfWaits): it would throw away what is being
// typed. Written before the address line, which ends the function.
const char* const kRefreshBodyStart[] = {
    "{var d = document;",
    "if (d.hidden) {d.addEventListener('visibilitychange', refresh); return}",
    "if (d.removeEventListener) d.removeEventListener('visibilitychange', refresh);",
};

// The live update, written without blanks to keep the script small, and with
// nothing an older browser cannot parse (no arrow functions, ['catch'] for
// .catch), so that such a browser still runs refresh() and navigates.
//
// rfLive(address) fetches the address that the fallback navigates to, one
// request at a time: a tick while one is under way does nothing, and from
// the fourth such tick on the fallback takes over. rfState is 0 when idle,
// the ticks so far while a fetch is under way, and -1 after a fetch failed
// or brought another page: the next refresh() then navigates. The answer is
// read as ISO-8859-1, the pages' charset. A browser without fetch, DOMParser
// or TextDecoder navigates, as before.
//
// rfSame(a, b, p) walks the shown page (a) and the answer (b) side by side:
// a first walk (p off) only says whether they are the same page, a second
// one (p on) puts the answer's nodes in place. Equal nodes are left alone.
// The heading must be equal. An input or selection must have the same kind
// and index (its name up to "q"; after it the name carries the code of the
// value shown); one that the reader touched or that has the focus is left
// alone. An element whose markup holds a table, table body, row, field or
// script ("<ta", "<tb", "<tr", "<in", "<se", "<sc") must agree in its start
// tag (so the form's stamp) and number of children, and the walk goes on
// inside it. Anything else that differs (a text, a value cell, a label, an
// HTML block, an untouched field) is replaced by a copy of the answer's node:
// a field then shows its new value as value, default and in its name
// together, so a later send of it writes nothing.
//
// rfTouched(e): true when a form element's value, tick or choice differs
// from what the page was loaded with (the defaults the browser keeps), so
// sending or resetting the form ends it. The pages' selections are single
// ones; with no choice marked they show their first. Buttons and hidden
// fields (rfSkip) never count. rfWaits(): true while an input element of a
// form has the focus or any is touched (it holds the fallback navigation);
// the reset button keeping the focus after a reset does not count.
const char* const kRefreshLive[] = {
    "var rfState=0,rfSkip=/^(submit|reset|button|hidden)$/;",
    "function rfLive(u)",
    "{var w=window,d=document;",
    "if(rfState<0||!(w.fetch&&w.DOMParser&&w.TextDecoder))return rfState=0;",
    "if(rfState)return rfState++<3;",
    "rfState=1;",
    "fetch(u,{mode:'same-origin',credentials:'same-origin',cache:'no-store'})",
    ".then(function(r){return r.arrayBuffer()}).then(function(b){rfState=0;",
    "b=new DOMParser().parseFromString(new TextDecoder('iso-8859-1').decode(b),'text/html').body;",
    "if(!rfSame(d.body,b))throw b;rfSame(d.body,b,1)})['catch'](function(){rfState=-1;refresh()});",
    "return 1}",
    "function rfSame(a,b,p)",
    "{var x=a.childNodes,y=b.childNodes,i;",
    "if((a.outerHTML||a.data)==(b.outerHTML||b.data))return 1;",
    "if(a.nodeName=='H1')return 0;",
    "if(/^(INPUT|SELECT)$/.test(a.nodeName)){",
    "if(a.name.split('q')[0]!=b.name.split('q')[0])return 0;",
    "if(rfTouched(a)||a==document.activeElement)return 1}",
    "else if(/<(t[abr]|in|se|sc)/i.test(a.outerHTML+b.outerHTML)){",
    "if(a.cloneNode(0).outerHTML!=b.cloneNode(0).outerHTML||x.length!=y.length)return 0;",
    "for(i=0;i<x.length;i++)if(!rfSame(x[i],y[i],p))return 0;",
    "return 1}",
    "return!p||a.parentNode.replaceChild(b.cloneNode(1),a)}",
    "function rfTouched(e)",
    "{var o=e.options,n=0,k;",
    "if(o){for(k=0;k<o.length;k++)if(o[k].defaultSelected)n=k;return o.length&&e.selectedIndex!=n}",
    "return e.checked!=e.defaultChecked||!rfSkip.test(e.type)&&e.value!=e.defaultValue}",
    "function rfWaits()",
    "{var d=document,a=d.activeElement,e=d.querySelectorAll('input,select'),i;",
    "if(a&&a.form&&!rfSkip.test(a.type))return 1;",
    "for(i=0;i<e.length;i++)if(rfTouched(e[i]))return 1;",
    "return 0}",
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
    // The stamp is digits and "-" only (common/filestamp.h): nothing to escape.
    const std::string stamp = p.formStamp.empty() ? std::string() : "?ST=" + p.formStamp;
    WriteLine("<form name=\"FORM1\" action=\"TelvarinServer.ccc" + stamp + "\" method=\"POST\">");
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
  const std::string address = "'TelvarinServer.ccc?SP=" + Request.SiteName +
                              "&sitename=" + p.pageTitle + "&sid=" + Request.SessionId + "'";
  WriteLine("<script language=\"JavaScript\"><!--");
  WriteLine("function refresh()");
  for (const char* line : kRefreshBodyStart) WriteLine(line);
  WriteLine("if(rfLive(" + address + ")||rfWaits())return;");
  WriteLine("window.location.href = " + address + "}");
  for (const char* line : kRefreshLive) WriteLine(line);
  WriteLine("setInterval(\"refresh()\"," + std::to_string(interval_ms) + ")");
  WriteLine("//--></script>");
}

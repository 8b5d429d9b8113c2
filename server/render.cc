// render.cc: RenderSitePage, the site page written while its page file is
// read: every line is acted on when it is read, so the file's order is the
// page's order; only the values it shows are read ahead, in one pass of their
// own (pagevalues.h). Settings lines go to sitefiles.cc, the heading line and the
// navigation to pagehead.cc, table rows and HTML blocks to objrows.cc.
// Tested by render_test.cc and tests/server_page_test.cc.
#include "server/render.h"

#include <cstdio>
#include <string>
#include <vector>

#include "server/objrows.h"
#include "common/output.h"
#include "common/pageheader.h"
#include "server/pagehead.h"
#include "server/pagevalues.h"
#include "server/sitefiles.h"
#include "toolkit/strobj.h"

namespace {

// The start of a table: "border=... cellspacing=... cellpadding=..." comes
// from the caller; the margin decides between centred and left aligned.
void WriteTableStart(const std::string& start, int margin) {
  if (margin < 1) {
    WriteLine(start + " align=center>");
  } else {
    WriteLine(start + " style=\"text-align:left; margin-left:" + IntToStrS(margin) + "mm\">");
  }
}

void WriteObjectTableStart() {
  const PageSettingsRec& p = PageSettings;
  WriteTableStart("<table ID=TabObj border=" + IntToStrS(p.FW) + " cellspacing=" +
                      IntToStrS(p.CELLD) + " cellpadding=" + IntToStrS(p.TXD),
                  p.LMOBJ);
}

void WriteMacroTableStart() {
  const PageSettingsRec& p = PageSettings;
  if (p.RHM > 0) {
    WriteTableStart("<table ID=TabMacro border=0 cellspacing=0 cellpadding=" + IntToStrS(p.RHM),
                    p.LMMAC);
  } else {
    WriteTableStart("<table ID=TabMacro border=" + IntToStrS(p.FW) + " cellspacing=" +
                        IntToStrS(p.CELLD) + " cellpadding=" + IntToStrS(p.TXD),
                    p.LMMAC);
  }
}

void WriteButtonRow() {
  const int margin = PageSettings.LMOBJ;
  if (margin > 0) {
    WriteLine("<p style=\"text-align:left; margin-left:" + IntToStrS(margin) + "mm\">");
  } else {
    WriteLine("<p align=center>");
  }
  WriteLine("<input type=reset Name=Reset value=Zur&uuml;cksetzen>");
  // "OKButton" is the field that form submission looks for.
  WriteLine("<input type=submit Name=OKButton value='Neue Werte einstellen'></p>");
  WriteLine("</form>");
}

void WriteClosingTags() {
  if (PageSettings.PW > 0) WriteLine("</div>");  // closes the width container of the head
  WriteLine("</body></html>");
}

// The state of one walk over a page file.
struct PageWalk {
  int code = 0;                // section of the current line; lines before any header are 0
  std::string bottom_nav;      // last "NAVI" value of section 9001
  bool bottom_pending = false; // a section 9001 line was read
  std::vector<std::string> notices;  // lines still to write above the first object table
};

// The notices of the form just sent, each one line, aligned as the object table.
void WritePendingNotices(PageWalk& walk) {
  const int margin = PageSettings.LMOBJ;
  const std::string start =
      margin > 0
          ? "<p class=objcs style=\"text-align:left; margin-left:" + IntToStrS(margin) + "mm\">"
          : std::string("<p class=objcs align=center>");
  for (const std::string& notice : walk.notices) WriteLine(start + notice + "</p>");
  walk.notices.clear();
}

void HandleHeaderLine(PageWalk& walk, const std::string& line) {
  if (walk.code == kObjectTable || walk.code == kMacroTable) WriteLine("</table><hr>");
  std::string param;
  ReadPageHeader(line.substr(1), &walk.code, &param);
  switch (walk.code) {
    case kObjectTable:
      WritePendingNotices(walk);
      WriteObjectTableStart();
      break;
    case kMacroTable: WriteMacroTableStart(); break;
    case kPageSection:
      PageSettings.pageTitle = param;
      PageSettings.BW = SiteSettings.BW;
      break;
    case kTopNavigation:
    case kBottomNavigation: PageSettings.navEntryCount = C_StrToInt(param); break;
    default: break;
  }
}

void HandleContentLine(PageWalk& walk, const std::string& line) {
  std::string v;
  switch (walk.code) {
    case kPageSection:
    case kLayoutSection:
    case kColumnsSection:
    case kRefreshSection: ApplyPageSettingLine(walk.code, line); break;
    case kHeadSection:
      if (line.compare(0, 5, "SHEAD") != 0) break;
      v = StrGetKeyRow("SHEAD", line);
      if (!v.empty()) PageSettings.SHEAD = v;
      WritePageHead();
      break;
    case kTopNavigation:
      // A line that is not a "NAVI" line gives an empty list, written all the same.
      WriteNavigationBar(StrGetKeyRow("NAVI", line));
      WriteLine("<hr>");
      break;
    case kBottomNavigation:
      walk.bottom_nav = StrGetKeyRow("NAVI", line);
      walk.bottom_pending = true;
      break;
    case kObjectTable:
      v = StrGetKeyRow("OBJROW", line);
      if (!v.empty()) WriteObjectRow(v);
      break;
    case kMacroTable:
      v = StrGetKeyRow("MACRO", line);
      if (!v.empty()) WriteMacroRow(v);
      break;
    case kHtmlBlock1:
      v = StrGetKeyRow("HTML1", line);
      if (!v.empty()) WriteHTMLBlock(v);
      break;
    case kHtmlBlock2:
      v = StrGetKeyRow("HTML2", line);
      if (!v.empty()) WriteHTMLBlock(v);
      break;
    default: break;
  }
}

}  // namespace

int RenderSitePage(const std::string& path, const std::string& form_stamp,
                   const std::vector<std::string>& notices) {
  SetFontStartValues();
  PageSettings.formStamp = form_stamp;
  WriteLine("Content-type: text/html");
  WriteLine("");
  WriteLine("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">");

  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    WriteLine("File not Found: " + path + "<br>");
    WriteClosingTags();
    return 3;
  }
  // Every value the page shows, in one round trip, before any row is written.
  FetchPageValues(file);
  PageWalk walk;
  walk.notices = notices;
  std::string line;
  while (ReadFileLine(file, &line)) {
    if (line[0] == '#') {
      HandleHeaderLine(walk, line);
    } else {
      HandleContentLine(walk, line);
    }
  }
  std::fclose(file);

  // A page file that ends inside a table leaves it open, as the lines dictate.
  WritePendingNotices(walk);
  if (PageSettings.hasForm) WriteButtonRow();
  if (walk.bottom_pending) WriteNavigationBar(walk.bottom_nav);
  if (PageSettings.AutoAkt) WriteAutoRefresh();
  WriteClosingTags();
  return 0;
}

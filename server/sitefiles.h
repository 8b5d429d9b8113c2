// sitefiles.h: the site definition file (site + ".TVS") and the page files
// (site + "_" + page + ".SHT"): the records they fill (SiteSettings,
// PageSettings, FontSpec), the line rules both files share, and the readers of
// settings lines. The renderer (render.cc) walks a page file with these.
// Tested by sitefiles_test.cc.
#pragma once

#include <cstdio>
#include <string>

#include "common/pageheader.h"  // ReadPageHeader and the section codes, for the renderer

// One font class of a page (heading, object names, values, navigation).
struct FontSpec {
  std::string name;        // "FN" + class: font family; the renderer starts it at "Arial"
  std::string colour;      // "FC" + class: RRGGBB text colour; "000000" writes no colour
  std::string backColour;  // "FCB" + class: RRGGBB background; "000000" writes no background
  int size = 0;            // "FS" + class: points; starts HEAD 12, OBJ 10, VAL 10, NAV 8
  int style = 0;           // "FST" + class: bits 1 bold, 2 italic, 4 underline
};

// The site-wide settings from the site definition file.
struct SiteSettingsRec {
  std::string FREEIPS;     // "FREEIPS": ";"-list of client addresses admitted without sign-on (request.cc)
  std::string STARTPAGE;   // "STARTPAGE": page shown to a client admitted through FREEIPS
  std::string AUTHMSG;     // "AUTHMSG": heading of the sign-on page in place of the fixed one
  int BW = 0;              // "BW": browser width of the fixed pages; start of every page's BW
  bool TESTMODE = false;   // "TESTMODE": diagnostic lines on every site page (pagehead.cc)
  bool AUTOWIDTH = false;  // "AUTOWIDTH": device-width viewport on the fixed pages
  bool NOAUTOSCALE = false;  // "NOAUTOSCALE": no user scaling on the fixed pages
};
extern SiteSettingsRec SiteSettings;  // filled once per run by ReadSiteSettings

// The state of the page being written; filled line by line by the renderer.
struct PageSettingsRec {
  std::string pageTitle;  // parameter of the "#1000" header: document title, page of the reload link
  std::string BG;         // 1000 "BG": body background RRGGBB; "FFFFFF" or empty writes none
  std::string SHEAD;      // 8000 "SHEAD": the page heading
  std::string OBJCOLS;    // 6000 "OBJCOLS": columns of every object row, e.g. "0x;1x;2x;"
  FontSpec HEAD;          // 3000 "..HEAD": font of the heading (h1)
  FontSpec OBJ;           // 3000 "..OBJ": font of object name cells and macro rows
  FontSpec VAL;           // 3000 "..VAL": font of value and input cells
  FontSpec NAV;           // 3000 "..NAV": font of the navigation paragraph
  int OBWIDTH = 0;        // 3000 "OBWIDTH": width of object name cells, pixels
  int OWWIDTH = 0;        // 3000 "OWWIDTH": width of value cells, pixels
  int PW = 0;             // 3000 "PW": width container around the body (0 in the file takes BW)
  int RHM = 0;            // 3000 "RHM": above 0, the macro table's cellpadding (border 0, spacing 0)
  int FW = 0;             // 3000 "FW": table border width
  int CELLD = 0;          // 3000 "CELLD": table cellspacing
  int TXD = 0;            // 3000 "TXD": table cellpadding
  int BW = 0;             // header 1000 copies SiteSettings.BW; 1000 "BW" (0 restores the site's)
  int INPW = 0;           // 3000 "INPW": width of a selection-list cell, pixels
  int AutoAktSec = 0;     // 7000 "AutoAktSec": reload interval, seconds (raised to 5 when written)
  int LMHL = 0;           // 3000 "LMHL": heading's left margin, mm; below 1 centred
  int LMOBJ = 0;          // 3000 "LMOBJ": margin of object table, navigation, button row; below 1 centred
  int LMMAC = 0;          // 3000 "LMMAC": macro table's left margin, mm; below 1 centred
  bool AutoAkt = false;   // 7000 "AutoAkt": "1" on, any other non-empty value off
  bool AUTOWIDTH = false;    // 1000 "AUTOWIDTH": device-width viewport for this page
  bool NOAUTOSCALE = false;  // 1000 "NOAUTOSCALE": no user scaling for this page
  int FILEVERS = 0;       // 1000 "FILEVERS": below 140 navigation uses "@"/":", else 0x0B/0x03
  int navEntryCount = 0;  // parameter of the "#9000"/"#9001" header: navigation entries used
  bool hasForm = false;   // on once an "OBJCOLS" value holds "2x;": form start and button row
  std::string formStamp;  // RenderSitePage: the site's compile stamp for the form's address ("?ST=")
};
extern PageSettingsRec PageSettings;  // filled by RenderSitePage while it reads the page file

// Reads the site definition file at path into SiteSettings. Returns 1 after the
// last line, -3 when the file cannot be opened (the record is then unchanged).
int ReadSiteSettings(const std::string& path);

// Applies one line (already taken by the line rules) of a site definition file
// to SiteSettings: every key is tested; each with a non-empty value sets its member.
void ApplySiteSettingLine(const std::string& line);

// Takes the next line of a site or page file by the shared line rules: read up
// to LF (dropped), skip lines of 0 or 1 bytes, remove one trailing CR. A last
// line without LF is not read. Returns false when no further line is there.
bool ReadFileLine(std::FILE* file, std::string* line);

// Sets the fonts' start values: Arial for all classes; HEAD 12, OBJ 10, VAL 10,
// NAV 8 points. Colours and styles are left as they are.
void SetFontStartValues();

// Applies one line of a settings section (1000, 3000, 6000, 7000) to
// PageSettings: the section's keys in table order, the first one with a
// non-empty value takes the line. Lines of other codes change nothing.
void ApplyPageSettingLine(int code, const std::string& line);

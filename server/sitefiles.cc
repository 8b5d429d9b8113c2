// sitefiles.cc: the site definition file and the page files: the shared line
// rules, the site settings reader and the keys of the page settings sections
// (1000 page, 3000 layout, 6000 object columns, 7000 auto refresh); header
// lines are read by common/pageheader. Holds the records SiteSettings and
// PageSettings. The renderer (render.cc) owns the order in which a page file's
// lines are acted on.
// Tested by sitefiles_test.cc (temp files) and tests/server_page_test.cc.
#include "server/sitefiles.h"

#include <cstdio>
#include <cstdlib>

#include "common/linereader.h"
#include "toolkit/strobj.h"

SiteSettingsRec SiteSettings;
PageSettingsRec PageSettings;

namespace {

// The value of key on line when it is there and not empty (an empty value
// counts as absent); false otherwise.
bool TakeKey(const char* key, const std::string& line, std::string* value) {
  *value = StrGetKeyRow(key, line);
  return !value->empty();
}

// The font keys of one class, in the order FN, FS, FST, FC, FCB. Returns true
// when one of them took the line.
bool ApplyFontKey(const std::string& cls, FontSpec* font, const std::string& line) {
  std::string v;
  if (TakeKey(("FN" + cls).c_str(), line, &v)) {
    font->name = v;
  } else if (TakeKey(("FS" + cls).c_str(), line, &v)) {
    font->size = C_StrToInt(v);
  } else if (TakeKey(("FST" + cls).c_str(), line, &v)) {
    font->style = C_StrToInt(v);
  } else if (TakeKey(("FC" + cls).c_str(), line, &v)) {
    font->colour = v;
  } else if (TakeKey(("FCB" + cls).c_str(), line, &v)) {
    font->backColour = v;
  } else {
    return false;
  }
  return true;
}

void ApplyPageLine(const std::string& line) {
  PageSettingsRec& p = PageSettings;
  std::string v;
  if (TakeKey("FILEVERS", line, &v)) {
    p.FILEVERS = C_StrToInt(v);
  } else if (TakeKey("BG", line, &v)) {
    p.BG = v;
  } else if (TakeKey("BW", line, &v)) {
    p.BW = C_StrToInt(v);
    if (p.BW == 0) p.BW = SiteSettings.BW;  // 0 restores the site definition's width
  } else if (TakeKey("AUTOWIDTH", line, &v)) {
    p.AUTOWIDTH = true;
  } else if (TakeKey("NOAUTOSCALE", line, &v)) {
    p.NOAUTOSCALE = true;
  }
}

void ApplyLayoutLine(const std::string& line) {
  PageSettingsRec& p = PageSettings;
  if (ApplyFontKey("HEAD", &p.HEAD, line) || ApplyFontKey("OBJ", &p.OBJ, line) ||
      ApplyFontKey("VAL", &p.VAL, line) || ApplyFontKey("NAV", &p.NAV, line))
    return;
  // The number keys in the order the layout section tests them; a null member
  // marks a key that is accepted and has no effect on the page.
  struct NumberKey {
    const char* key;
    int* member;
  };
  const NumberKey keys[] = {
      {"OBWIDTH", &p.OBWIDTH}, {"OWWIDTH", &p.OWWIDTH}, {"OPWIDTH", nullptr},
      {"LMHL", &p.LMHL},       {"LMOBJ", &p.LMOBJ},     {"LMMAC", &p.LMMAC},
      {"RW", nullptr},         {"PW", &p.PW},           {"RHM", &p.RHM},
      {"FW", &p.FW},           {"CELLD", &p.CELLD},     {"TXD", &p.TXD},
      {"INPW", &p.INPW},
  };
  std::string v;
  for (const NumberKey& k : keys) {
    if (!TakeKey(k.key, line, &v)) continue;
    if (k.member != nullptr) *k.member = C_StrToInt(v);
    // "PW=0" takes the page's width as it stands at this line.
    if (k.member == &p.PW && p.PW == 0) p.PW = p.BW;
    return;
  }
  // "PICSTR", "BG" and "BGPIC" are accepted here and change nothing.
}

void ApplyColumnsLine(const std::string& line) {
  std::string v;
  if (!TakeKey("OBJCOLS", line, &v)) return;
  PageSettings.OBJCOLS = v;
  if (v.find("2x;") != std::string::npos) PageSettings.hasForm = true;  // never switched off
}

void ApplyRefreshLine(const std::string& line) {
  std::string v;
  if (TakeKey("AutoAkt", line, &v)) {
    PageSettings.AutoAkt = (v == "1");
  } else if (TakeKey("AutoAktSec", line, &v)) {
    PageSettings.AutoAktSec = C_StrToInt(v);
  }
}

}  // namespace

bool ReadFileLine(std::FILE* file, std::string* line) {
  std::string text;
  bool ended_lf;
  while (ReadLine(file, &text, &ended_lf)) {
    if (!ended_lf) break;            // a last line without LF is dropped
    if (text.size() < 2) continue;   // "" and a lone CR carry nothing
    if (text.back() == '\r') text.pop_back();
    *line = std::move(text);
    return true;
  }
  return false;
}

void ApplySiteSettingLine(const std::string& line) {
  SiteSettingsRec& s = SiteSettings;
  std::string v;
  // Every key is tested on every line; a key's value is all of the rest of it.
  if (TakeKey("AUTHMSG", line, &v)) s.AUTHMSG = v;
  if (TakeKey("STARTPAGE", line, &v)) s.STARTPAGE = v;
  if (TakeKey("FREEIPS", line, &v)) s.FREEIPS = v;
  if (TakeKey("BW", line, &v)) s.BW = C_StrToInt(v);
  if (TakeKey("AUTOWIDTH", line, &v)) s.AUTOWIDTH = true;
  if (TakeKey("NOAUTOSCALE", line, &v)) s.NOAUTOSCALE = true;
  if (TakeKey("TESTMODE", line, &v)) s.TESTMODE = true;
}

int ReadSiteSettings(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return -3;
  std::string line;
  while (ReadFileLine(file, &line)) ApplySiteSettingLine(line);
  std::fclose(file);
  return 1;
}

void SetFontStartValues() {
  PageSettingsRec& p = PageSettings;
  p.HEAD.name = p.OBJ.name = p.VAL.name = p.NAV.name = "Arial";
  p.HEAD.size = 12;
  p.OBJ.size = 10;
  p.VAL.size = 10;
  p.NAV.size = 8;
}

void ApplyPageSettingLine(int code, const std::string& line) {
  switch (code) {
    case kPageSection: ApplyPageLine(line); break;
    case kLayoutSection: ApplyLayoutLine(line); break;
    case kColumnsSection: ApplyColumnsLine(line); break;
    case kRefreshSection: ApplyRefreshLine(line); break;
    default: break;
  }
}

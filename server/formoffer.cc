// formoffer.cc: the offer of a page's form (see formoffer.h). Follows the
// renderer's walk (render.cc, objrows.cc): header lines switch the section, the
// "OBJCOLS" line of section 6000 sets the columns for the rows after it.
#include "server/formoffer.h"

#include <cstdio>

#include "common/pageheader.h"
#include "server/sitefiles.h"
#include "toolkit/strobj.h"

namespace {

// Whether the renderer writes an input column: an entry "2x" before the list's
// first empty entry.
bool HasInputColumn(const std::string& columns) {
  for (int n = 1;; ++n) {
    const std::string column = StrGetIndex(columns, n, ';');
    if (column.empty()) return false;
    if (column == "2x") return true;
  }
}

void AddObjectRow(const std::string& record, FormOfferRec* offer) {
  const std::string editable = StrGetIndex(record, 3, '@');
  const std::string index = StrGetIndex(record, 5, '@');
  const std::string kind = StrGetIndex(record, 6, '@');
  if (editable.empty() || editable[0] != '1' || index.empty() || index == "-1") return;
  if (kind != "N" && kind != "S" && kind != "U") return;
  if (!offer->values.emplace(kind + index, StrGetIndex(record, 2, '@')).second) return;
  if (kind == "U") offer->choices[kind + index] = SelectionChoices(StrGetIndex(record, 8, '@'));
}

}  // namespace

std::vector<std::string> SelectionChoices(const std::string& list) {
  std::vector<std::string> choices;
  const int count = C_StrToInt(StrGetIndex(list, 1, '&'));
  // One pass over the list: choice i is the text after the i-th "&" found
  // from position 1 on (as StrGetIndex counts), up to the next "&".
  size_t at = list.find('&', 1);
  for (int i = 1; i <= count && i <= kMaxChoices && at != std::string::npos; ++i) {
    const size_t end = list.find('&', at + 1);
    choices.push_back(
        list.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
    at = end;
  }
  return choices;
}

FormOfferRec ReadFormOffer(const std::string& path) {
  FormOfferRec offer;
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return offer;
  int code = 0;
  std::string columns;
  std::string line;
  std::string param;
  while (ReadFileLine(file, &line)) {
    if (line[0] == '#') {
      ReadPageHeader(line.substr(1), &code, &param);
      continue;
    }
    std::string value;
    if (code == kColumnsSection) {
      value = StrGetKeyRow("OBJCOLS", line);
      if (!value.empty()) columns = value;
    } else if (code == kObjectTable) {
      value = StrGetKeyRow("OBJROW", line);
      if (!value.empty() && HasInputColumn(columns)) AddObjectRow(value, &offer);
    } else if (code == kMacroTable) {
      value = StrGetKeyRow("MACRO", line);
      const std::string index = StrGetIndex(value, 3, '@');
      if (!index.empty()) offer.macros.insert(index);
    }
  }
  std::fclose(file);
  return offer;
}

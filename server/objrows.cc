// objrows.cc: object rows, macro rows and HTML blocks of a site page, and the
// form field names of editable values. Every value comes from the runtime, read
// for the whole page before it is written (pagevalues.h). Texts from the page
// file and the runtime are written as they are: the page file is the author's
// HTML and the runtime is trusted.
// Tested by objrows_test.cc.
#include "server/objrows.h"

#include "common/output.h"
#include "server/formfield.h"
#include "server/pagevalues.h"
#include "server/sitefiles.h"
#include "toolkit/strobj.h"

bool hasValueColumn = false;

namespace {

constexpr char kInvalidIndexText[] = "ung\xFCltiger Index";
constexpr char kNoValueText[] = "Wert nicht verf&uuml;gbar";
// The search for references ends once it would resume beyond this position.
constexpr int kLastRefSearchStart = 99998;

// "<tr>" waits here and opens the row's first line: the first cell, or "</tr>".
std::string pending_row_start;

void WriteRowLine(const std::string& line) {
  WriteLine(pending_row_start + line);
  pending_row_start.clear();
}

std::string Field(const std::string& record, int n) { return StrGetIndex(record, n, '@'); }

bool IsEditable(const std::string& record) {
  std::string flag = Field(record, 3);
  return !flag.empty() && flag[0] == '1';
}

// The selection cell of a "U" row: the choices of field 8 ("count&choice&..."),
// the one equal to the value byte for byte selected.
void WriteSelectCell(const std::string& record, const std::string& value,
                     const std::string& name) {
  std::string list = Field(record, 8);
  int count = C_StrToInt(StrGetIndex(list, 1, '&'));
  WriteRowLine("<td class=valcs width=" + IntToStrS(PageSettings.INPW) + ">");
  WriteLine("<select size=1 name=" + name + ">");
  for (int i = 1; i <= count; ++i) {
    std::string choice = StrGetIndex(list, i + 1, '&');
    if (choice == value)
      WriteLine("<option selected>" + choice + "</option>");
    else
      WriteLine("<option>" + choice + "</option>");
  }
  WriteLine("</select></td>");
}

}  // namespace

void WriteObjectCell(const std::string& record) {
  WriteRowLine("<td class=objcs width=" + IntToStrS(PageSettings.OBWIDTH) + ">" + Field(record, 2) +
            "</td>");
}

void WriteValueCell(const std::string& record, const std::string& value, bool from_runtime) {
  std::string shown = value;
  if (from_runtime && Field(record, 6) == "S")
    shown = value.size() >= 2 ? value.substr(1, value.size() - 2) : "";
  WriteRowLine("<td class=valcs width=" + IntToStrS(PageSettings.OWWIDTH) + ">" + shown + "</td>");
}

void WriteInputCell(const std::string& record, const std::string& value,
                    const std::string& index, bool from_runtime) {
  if (!IsEditable(record)) {
    if (!hasValueColumn) WriteValueCell(record, value, from_runtime);
    return;
  }
  if (!from_runtime) {
    // A fallback text is shown, never made a form element: sent back, its
    // first word would be written to the runtime as the variable's new value.
    WriteValueCell(record, value, from_runtime);
    return;
  }
  std::string kind = Field(record, 6);
  std::string name = FormFieldName(kind, index, value);
  char first = kind.empty() ? '\0' : kind[0];
  if (first == 'S' || first == 'N') {
    WriteRowLine("<td class=valcs><input type=text name=" + name +
              " size=" + IntToStrS(static_cast<int>(Field(record, 10).size())) +
              " value=" + value + "></td>");
  } else if (first == 'U') {
    WriteSelectCell(record, value, name);
  }
}

void WriteObjectRow(const std::string& record) {
  std::string index = Field(record, 5);
  std::string value;
  bool from_runtime = false;
  if (index == "-1") {
    value = kInvalidIndexText;
  } else {
    std::string answer = index;
    if (!PageVarByIdx(answer)) {
      value = kNoValueText;
    } else {
      size_t eq = answer.find('=');
      if (eq == std::string::npos || eq == 0) return;
      value = answer.substr(eq + 1);
      from_runtime = true;
    }
  }
  pending_row_start = "<tr>";
  hasValueColumn = PageSettings.OBJCOLS.find("1x") != std::string::npos;
  for (int n = 1;; ++n) {
    std::string column = StrGetIndex(PageSettings.OBJCOLS, n, ';');
    if (column.empty()) break;
    if (column == "0x")
      WriteObjectCell(record);
    else if (column == "1x")
      WriteValueCell(record, value, from_runtime);
    else if (column == "2x")
      WriteInputCell(record, value, index, from_runtime);
  }
  WriteRowLine("</tr>");
}

void WriteMacroRow(const std::string& record) {
  WriteLine("<tr><td class=maccs><input type=CHECKBOX name=\"" + MacroFieldName(Field(record, 3)) +
            "\" value=ON >&nbsp;" + Field(record, 2) + "&nbsp;</td></tr>");
}

void WriteHTMLBlock(const std::string& text) { WriteLine(ReplaceVarRefs(text)); }

std::vector<std::string> VarRefNames(const std::string& text) {
  std::vector<std::string> names;
  size_t p = text.find("%<");
  while (p != std::string::npos) {
    const size_t q = text.find('>', p + 1);
    if (q == std::string::npos) break;
    names.push_back(StrUpper(text.substr(p + 2, q - (p + 2))));
    p = text.find("%<", q + 1);
  }
  return names;
}

std::string ReplaceVarRefs(const std::string& text) {
  std::string result = text;
  size_t p = result.find("%<");
  size_t r = 0;
  while (p != std::string::npos && r <= static_cast<size_t>(kLastRefSearchStart)) {
    size_t q = result.find('>', p + 1);
    if (q == std::string::npos) break;
    std::string name = StrUpper(result.substr(p + 2, q - (p + 2)));
    std::string value = StrGetKeyRow(name, PageVarByName(name));
    result = result.substr(0, p) + value + result.substr(q + 1);
    // Resume right after the inserted value: a value is never searched for
    // references, and a short one cannot hide the reference that follows.
    r = p + value.size();
    p = result.find("%<", r);
  }
  return result;
}

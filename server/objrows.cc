// objrows.cc: object rows, macro rows and HTML blocks of a site page, and the
// form field names of editable values. Every value comes from the runtime, read
// for the whole page before it is written (pagevalues.h). Texts from the page
// file are the author's HTML and written as they are; every value from the
// runtime goes through htmlescape.h, while the form field codes are computed
// on the value as the runtime gave it.
// Tested by objrows_test.cc.
#include "server/objrows.h"

#include "common/htmlescape.h"
#include "common/output.h"
#include "server/formfield.h"
#include "server/formoffer.h"
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
// the one equal to the value byte for byte selected; at most kMaxChoices of
// them, whatever the count says (a count of 99999999999 must not write
// gigabytes). Choices beyond the list's end are empty.
void WriteSelectCell(const std::string& record, const std::string& value,
                     const std::string& name) {
  const std::string list = Field(record, 8);
  const std::vector<std::string> choices = SelectionChoices(list);
  int count = C_StrToInt(StrGetIndex(list, 1, '&'));
  if (count > kMaxChoices) count = kMaxChoices;
  WriteRowLine("<td class=valcs width=" + IntToStrS(PageSettings.INPW) + ">");
  WriteLine("<select size=1 name=" + HtmlUnquotedAttr(name) + ">");
  for (int i = 0; i < count; ++i) {
    const std::string choice = i < static_cast<int>(choices.size()) ? choices[i] : std::string();
    if (choice == value)
      WriteLine("<option selected>" + HtmlValue(choice) + "</option>");
    else
      WriteLine("<option>" + HtmlValue(choice) + "</option>");
  }
  WriteLine("</select></td>");
}

// The value attribute of a text or number input. A text value comes in double
// quotes, which stay the attribute's own; anything else is an unquoted value.
std::string InputValueAttr(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return "\"" + HtmlValue(value.substr(1, value.size() - 2)) + "\"";
  return HtmlUnquotedAttr(value);
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
  WriteRowLine("<td class=valcs width=" + IntToStrS(PageSettings.OWWIDTH) + ">" + HtmlText(shown) + "</td>");
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
    WriteRowLine("<td class=valcs><input type=text name=" + HtmlUnquotedAttr(name) +
                 " size=" + IntToStrS(static_cast<int>(Field(record, 10).size())) +
                 " value=" + InputValueAttr(value) + "></td>");
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
  const std::string index = Field(record, 3);
  const std::string box = IsPlainIndex(index)
                              ? "<input type=CHECKBOX name=\"" + MacroFieldName(index) +
                                    "\" value=ON >"
                              : std::string(kInvalidIndexText);
  WriteLine("<tr><td class=maccs>" + box + "&nbsp;" + Field(record, 2) + "&nbsp;</td></tr>");
}

void WriteHTMLBlock(const std::string& text) { WriteLine(ReplaceVarRefs(text)); }

namespace {

// The reference walk of ReplaceVarRefs, with the value of each name from
// value_of. The search resumes right after each inserted value: a value is
// never searched for references, and a short one cannot hide the reference
// that follows.
template <typename ValueOf>
std::string ReplaceVarRefsWith(const std::string& text, const ValueOf& value_of) {
  std::string result = text;
  size_t p = result.find("%<");
  size_t r = 0;
  while (p != std::string::npos && r <= static_cast<size_t>(kLastRefSearchStart)) {
    size_t q = result.find('>', p + 1);
    if (q == std::string::npos) break;
    std::string value = value_of(StrUpper(result.substr(p + 2, q - (p + 2))));
    result = result.substr(0, p) + value + result.substr(q + 1);
    r = p + value.size();
    p = result.find("%<", r);
  }
  return result;
}

}  // namespace

std::vector<std::string> VarRefNames(const std::string& text) {
  // With empty values the walk goes at least as far as with any others.
  std::vector<std::string> names;
  ReplaceVarRefsWith(text, [&names](const std::string& name) {
    names.push_back(name);
    return std::string();
  });
  return names;
}

std::string ReplaceVarRefs(const std::string& text) {
  return ReplaceVarRefsWith(text, [](const std::string& name) {
    return HtmlText(StrGetKeyRow(name, PageVarByName(name)));
  });
}

// objrows.h: the rows of a site page's tables and its free HTML lines: object
// rows (label, value and input cells with live values from the runtime), macro
// rows, HTML blocks with "%<name>" references. The form field names are
// written by formfield.h.
// Tested by objrows_test.cc (against the trial runtime).
#pragma once

#include <string>
#include <vector>

// On when the page's column list (OBJCOLS) holds "1x", so an input column of a
// read-only row stays empty. Set anew by every object row before its cells.
extern bool hasValueColumn;

// One table row for an "OBJROW" record ("@"-fields: 2 label, 3 editable when it
// starts with "1", 5 index, 6 kind, 8 choices of a selection, 10 size template).
// Takes the value by index from the page's values (pagevalues.h); an answer
// without "=" after its first byte gives no row at all.
void WriteObjectRow(const std::string& record);

// The cell writers of an object row. from_runtime tells a value read from the
// runtime (a text of kind "S" is then in quotes, which the value cell drops)
// from a fallback text ("ung\xFCltiger Index", "Wert nicht verf&uuml;gbar"),
// which is shown whole and never becomes a form element.
void WriteObjectCell(const std::string& record);
void WriteValueCell(const std::string& record, const std::string& value, bool from_runtime);
void WriteInputCell(const std::string& record, const std::string& value,
                    const std::string& index, bool from_runtime);

// One table row with the checkbox "x" + macro index for a "MACRO" record
// ("@"-fields: 2 label, 3 macro index). An index that is not IsPlainIndex
// (missing, "-1" from the compiler, any other text) shows "ung\xFCltiger Index"
// in place of the checkbox: sent back, it would start macro 0 or -1.
void WriteMacroRow(const std::string& record);

// One line: text with its variable references replaced (ReplaceVarRefs).
void WriteHTMLBlock(const std::string& text);

// Replaces every "%<name>" by the current value of the runtime variable NAME
// (upper-cased), the empty text when the runtime has none. The search goes on
// right after each inserted value; a "%<" without a later ">" ends it.
std::string ReplaceVarRefs(const std::string& text);

// The names (upper-cased) whose values ReplaceVarRefs may ask for, in order:
// the references of the text as it stands, since no inserted value is searched
// (at most a few more than it asks for, when long values end its walk early).
std::vector<std::string> VarRefNames(const std::string& text);

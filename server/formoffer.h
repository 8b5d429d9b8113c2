// formoffer.h: what one page's form offers, read from its page file the way the
// renderer reads it: the editable values that get an input element, and the
// macros that get a checkbox. A sent form may write and start only these; a
// request that names anything else (a read-only row, a variable on no page,
// any macro of the runtime) is not the page's form.
// Tested by formoffer_test.cc and tests/server_form_test.cc.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct FormOfferRec {
  // Kind letter + index as the field name carries them ("N12") -> the row's
  // label (field 2): object rows of kind "N", "S" or "U", editable ("1"), with
  // an index other than "-1", while the column list in force has "2x". The
  // first row of a kind and index gives the label.
  std::map<std::string, std::string> values;
  std::set<std::string> macros;  // field 3 of every "MACRO" row when not empty: macro indices
  // Kind "U" + index -> the choices its row lists (SelectionChoices of field 8),
  // from the same row as the label.
  std::map<std::string, std::vector<std::string>> choices;
};

// The choices that a selection's list (field 8: count "&" choice 1 "&" choice
// 2 ...) lists: as many as the count says, at most kMaxChoices, and no more
// than the list holds. The count itself is not a choice.
constexpr int kMaxChoices = 1000;
std::vector<std::string> SelectionChoices(const std::string& list);

// The offer of the page file at path; empty when it cannot be opened.
FormOfferRec ReadFormOffer(const std::string& path);

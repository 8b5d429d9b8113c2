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

struct FormOfferRec {
  // Kind letter + index as the field name carries them ("N12") -> the row's
  // label (field 2): object rows of kind "N", "S" or "U", editable ("1"), with
  // an index other than "-1", while the column list in force has "2x". The
  // first row of a kind and index gives the label.
  std::map<std::string, std::string> values;
  std::set<std::string> macros;  // field 3 of every "MACRO" row when not empty: macro indices
};

// The offer of the page file at path; empty when it cannot be opened.
FormOfferRec ReadFormOffer(const std::string& path);

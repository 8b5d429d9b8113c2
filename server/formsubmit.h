// formsubmit.h: the fields of a sent page form: a changed value is written to
// the runtime, a ticked macro box starts its macro, everything else is
// accepted as it stands. Only what the page offered is applied (formoffer.h),
// each variable and macro at most once per request; a value that changed in
// the runtime since the page showed it is not overwritten. Whether a request's
// fields are applied at all is the form rules' (requestorigin.h).
// Tested by formsubmit_test.cc (trial runtime) and tests/server_form_test.cc.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "server/formoffer.h"
#include "server/requestorigin.h"

// One walk over the fields of a sent form.
struct FormWalkRec {
  FormOfferRec offer;                       // what the page sent from offers
  std::set<std::string> named_values;       // variable indices a field has named so far
  std::set<std::string> named_macros;       // macro indices a field has named so far
  std::vector<std::string> notices;  // rows not written: a notice and the row's label each
};

// Applies one field "name=value" as the browser sent it. Returns 1 when it is
// accepted (also "OKButton", an empty field or name, a name whose index is not
// plain (IsPlainIndex), a field that names nothing the page offers or an index
// or macro that an earlier field named, a macro box whatever the start did, a
// value equal to the one shown, a selection's value that its row does not
// list, and a value changed since shown), else the
// status the runtime answered to the write, or -1 when the write call failed.
// Names: "x" + macro index; kind letter + index + "q" + code, where the code is
// for "S" the checksum of the text shown, for "N" the number shown with "." as
// "p" and "," as "k", for other kinds the value shown. A number is written
// bare ("12=21.7"), every other kind in double quotes ("5=\"Aus\"").
// A selection's value that is none of its row's choices is not written (no
// runtime call); its notice (kNotAChoiceNotice + label) goes to the walk's
// notices. Before a write the variable is read: when its value, coded as the
// page codes it, is not the field's code, kChangedValueNotice + label goes to
// the notices and nothing is written. A read that fails leaves the decision
// to the write.
int ApplyFormField(const std::string& field, FormWalkRec* walk);

// Applies the "&"-fields of the request text from position 4 on, numbered as
// StrGetIndex numbers them, in order, while each is accepted; the walk ends at
// the first empty field. Returns 1 when every field was accepted, else the
// result of the first one refused (the fields after it are not applied).
int ApplyFormFields(const std::string& request_data, FormWalkRec* walk);

// The notice of a form refused because the site was compiled since its page
// was shown, and the starts of the lines naming a row not written.
extern const char kStaleFormNotice[];
extern const char kChangedValueNotice[];
extern const char kNotAChoiceNotice[];

// Applies a sent form as the form rules judged it (requestorigin.h): nothing
// but the stale-form notice for a stale one, nothing for one that is not
// applied, else the fields that the page file at page_path offers
// (ApplyFormFields), adding the walk's notices. Returns what
// ApplyFormFields returns, or 1.
int ApplyPageForm(const std::string& request_data, FormVerdict verdict,
                  const std::string& page_path, std::vector<std::string>* notices);

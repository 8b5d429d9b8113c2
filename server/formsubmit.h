// formsubmit.h: the fields of a sent page form: a changed value is written to
// the runtime, a ticked macro box starts its macro, everything else is
// accepted as it stands. Only what the page offered is applied (formoffer.h),
// each variable and macro at most once per request; a value that changed in
// the runtime since the page showed it is not overwritten. A form from a page
// of an older compile of the site, or a request that the browser names as
// coming from another site, applies nothing.
// Tested by formsubmit_test.cc (trial runtime) and tests/server_form_test.cc.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "server/formoffer.h"

// One walk over the fields of a sent form.
struct FormWalkRec {
  FormOfferRec offer;                       // what the page sent from offers
  std::set<std::string> named_values;       // variable indices a field has named so far
  std::set<std::string> named_macros;       // macro indices a field has named so far
  std::vector<std::string> changed_labels;  // rows not written: changed since shown
};

// Applies one field "name=value" as the browser sent it. Returns 1 when it is
// accepted (also "OKButton", an empty field or name, a name whose index is not
// plain (IsPlainIndex), a field that names nothing the page offers or an index
// or macro that an earlier field named, a macro box whatever the start did, a
// value equal to the one shown, and a value changed since shown), else the
// status the runtime answered to the write, or -1 when the write call failed.
// Names: "x" + macro index; kind letter + index + "q" + code, where the code is
// for "S" the checksum of the text shown, for "N" the number shown with "." as
// "p" and "," as "k", for other kinds the value shown. A number is written
// bare ("12=21.7"), every other kind in double quotes ("5=\"Aus\"").
// Before a write the variable is read: when its value, coded as the page codes
// it, is not the field's code, the row's label goes to changed_labels and
// nothing is written. A read that fails leaves the decision to the write.
int ApplyFormField(const std::string& field, FormWalkRec* walk);

// Applies the "&"-fields of the request text from position 4 on, numbered as
// StrGetIndex numbers them, in order, while each is accepted; the walk ends at
// the first empty field. Returns 1 when every field was accepted, else the
// result of the first one refused (the fields after it are not applied).
int ApplyFormFields(const std::string& request_data, FormWalkRec* walk);

// What the request road knows about a sent form beside its fields.
struct FormGateRec {
  bool same_site = true;   // the browser did not name another site as its source
  bool has_stamp = false;  // the form's address carried "ST="
  std::string stamp;       // its value
  std::string site_stamp;  // the site definition file's stamp now, after any compile
  std::string page_path;   // the page file named by the request's "sitename"
};

// The notice of a form refused because the site was compiled since its page
// was shown, and the start of the line naming a row not written.
extern const char kStaleFormNotice[];
extern const char kChangedValueNotice[];

// Applies a sent form: nothing for another site's request; nothing but the
// stale-form notice when the form carries a stamp that is not the site's;
// else the fields that the page file offers (ApplyFormFields), adding one
// notice per row not written. Returns what ApplyFormFields returns, or 1.
int ApplyPageForm(const std::string& request_data, const FormGateRec& gate,
                  std::vector<std::string>* notices);

// formsubmit.h: the fields of a sent page form: a changed value is written to
// the runtime, a ticked macro box starts its macro, everything else is
// accepted as it stands. The field's name carries the value the page showed,
// so nothing is read from the runtime to decide.
// Tested by formsubmit_test.cc (trial runtime) and tests/server_form_test.cc.
#pragma once

#include <string>

// Applies one field "name=value" as the browser sent it. Returns 1 when it is
// accepted (also "OKButton", an empty field or name, a name whose index is not
// plain (IsPlainIndex), a macro box whatever the start did, and a value equal to
// the one shown), else the status the runtime answered to the write, or -1 when
// the write call failed.
// Names: "x" + macro index; kind letter + index + "q" + code, where the code is
// for "S" the checksum of the text shown, for "N" the number shown with "." as
// "p" and "," as "k", for other kinds the value shown. A number is written
// bare ("12=21.7"), every other kind in double quotes ("5=\"Aus\"").
int ApplyFormField(const std::string& field);

// Applies the "&"-fields of the request text from position 4 on, numbered as
// StrGetIndex numbers them, in order, while each is accepted; the walk ends at
// the first empty field. Returns 1 when every field was accepted, else the
// result of the first one refused (the fields after it are not applied).
int ApplyFormFields(const std::string& request_data);

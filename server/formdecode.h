// formdecode.h: the decoding of posted text and selection values: a fixed
// table of replacements applied in a fixed order, not a general URL decoder.
// Tested by formdecode_test.cc.
#pragma once

#include <string>

// Applies the table in its order, each row over the whole current text until
// no occurrence is left: "+" to a blank, the entities "&uuml;" ... "&szuml;" to
// their Latin-1 letters, then (only when a "%" is left) the upper-case escapes
// of the German letters and of the listed punctuation. So "%253A" becomes ":",
// "%25FC" stays "%FC", and a "+" from "%2B" is not a blank. No failure.
std::string DecodeFormText(const std::string& text);

// Replaces from by to until no occurrence of from is left, each search as if
// it started again at the beginning; linear in the text's length for every to
// of one byte. from must not be empty, and to must not contain from.
std::string ReplaceUntilNone(const std::string& text, const std::string& from,
                             const std::string& to);

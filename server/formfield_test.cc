// formfield_test.cc: form field names, written and taken apart again.
#include "server/formfield.h"

#include <gtest/gtest.h>

namespace {

TEST(TextChecksum, PositionTimesUnsignedByteWrappingIn32Bits) {
  const struct {
    std::string text;
    int want;
  } cases[] = {
      {"", 0},
      {"Ab", 261},
      {"\xFC", 252},                             // Latin-1 counts as unsigned
      {"Gr\xFCn", 1495},                         // 71 + 2*114 + 3*252 + 4*110
      {std::string(4500, '\xFF'), -1712518546},  // 255*4500*4501/2 passes 2^31
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, TextChecksum(c.text)) << c.text.size();
}

// The row writer's name for a value as the runtime gave it; the form walk's
// reading of that name, and which values sent back (decoded as the walk decodes
// them) count as the one the page showed.
struct RoundTripCase {
  const char* kind;
  const char* index;
  const char* shown;     // as the runtime answered
  const char* name;      // the field's name on the page
  const char* same;      // sent back unchanged
  const char* changed;   // sent back changed
};
const RoundTripCase kRoundTrips[] = {
    {"N", "12", "1.234,5", "N12q1p234k5", "1.234,5", "1.2345"},
    {"N", "12", "21.5", "N12q21p5", "21.5", "21,5"},
    {"S", "7", "\"Ab\"", "S7q261", "Ab", "Ba"},
    {"S", "7", "\"\"", "S7q0", "", " "},
    {"S", "7", "\"", "S7q0", "", "\""},  // fewer than two bytes: nothing between the quotes
    {"S", "7", "\"Gr\xFCn\"", "S7q1495", "Gr\xFCn", "Grun"},
    {"U", "5", "Ein", "U5qEin", "Ein", "Aus"},
    {"U", "5", "1.5,2", "U5q1.5,2", "1.5,2", "1.5"},
    {"U", "5", "a b", "U5qa b", "a b", "a+b"},
    {"U", "5", "a%20b", "U5qa%20b", "a b", "a%20b"},  // a code the browser escaped
};
TEST(FormFieldName, RoundTrip) {
  for (const auto& c : kRoundTrips) {
    const std::string name = FormFieldName(c.kind, c.index, c.shown);
    EXPECT_EQ(c.name, name) << c.kind << " " << c.shown;
    const FormFieldNameParts parts = ParseFormFieldName(name);
    EXPECT_EQ(c.kind[0], parts.kind) << name;
    EXPECT_EQ(c.index, parts.index) << name;
    EXPECT_TRUE(IsShownValue(parts, c.same)) << name;
    EXPECT_FALSE(IsShownValue(parts, c.changed)) << name;
  }
}

TEST(FormFieldName, MacroAndCodelessNames) {
  EXPECT_EQ("x15", MacroFieldName("15"));
  const struct {
    const char* name;
    char kind;
    const char* index;
    const char* code;
  } cases[] = {
      {"x15", 'x', "15", ""},
      {"xq3", 'x', "q3", ""},   // a macro's name has no code
      {"N12", 'N', "12", ""},   // no "q": all of it is the index
      {"Nq", 'N', "", ""},
      {"S7q1q2", 'S', "7", "1q2"},  // the first "q" after the kind ends the index
  };
  for (const auto& c : cases) {
    const FormFieldNameParts parts = ParseFormFieldName(c.name);
    EXPECT_EQ(c.kind, parts.kind) << c.name;
    EXPECT_EQ(c.index, parts.index) << c.name;
    EXPECT_EQ(c.code, parts.code) << c.name;
  }
}

}  // namespace

// answerbounds_test.cc: which answer bodies may reach the XML-RPC library's
// parser: size, balance and the depth of arrays and structs.
#include "common/answerbounds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// value nested n arrays deep: <value><array><data> ... </data></array></value>.
std::string Nested(int n, const std::string& inner = "<value><i4>1</i4></value>") {
  std::string text;
  for (int i = 0; i < n; ++i) text += "<value><array><data>";
  text += inner;
  for (int i = 0; i < n; ++i) text += "</data></array></value>";
  return text;
}

std::string Answer(const std::string& value) {
  return "<?xml version=\"1.0\"?>\r\n<methodResponse><params><param>\r\n\t" + value +
         "\r\n</param></params></methodResponse>\r\n";
}

TEST(AnswerWithinBounds, SizeBalanceAndDepth) {
  const std::string string_value = "<value>" + std::string(kMaxAnswerBytes, 'a') + "</value>";
  const struct {
    std::string body;
    bool ok;
  } cases[] = {
      {Answer(Nested(1)), true},
      {Answer(Nested(1, "<value>TEMP=21.5</value>")), true},
      {Answer(Nested(1, "<value></value><value/>")), true},
      {"<methodResponse><fault>\r\n\t<value><struct><member><name>faultCode</name>"
       "<value><i4>1</i4></value></member></struct></value>\r\n</fault></methodResponse>",
       true},
      {Answer(Nested(kMaxAnswerDepth)), true},
      {Answer(Nested(kMaxAnswerDepth + 1)), false},
      {Answer(Nested(100000, "")), false},
      // Structs count like arrays.
      {Answer(Nested(kMaxAnswerDepth, "<value><struct></struct></value>")), false},
      // Many arrays side by side are no depth.
      {Answer(Nested(1, [] {
         std::string many;
         for (int i = 0; i < 1000; ++i) many += Nested(2);
         return many;
       }())), true},
      // A close tag the parser would skip as text cannot hide depth: unbalanced.
      {Answer("<value><array><data><value></array></value>" + Nested(1)), false},
      {Answer(Nested(1)) + "<value>", false},        // left open
      {Answer(Nested(1)) + "</value>", false},       // closes nothing
      {Answer("<value>a<b</value>"), false},         // a stray "<" takes the close tag in
      {Answer("<value><!-- <array> --></value>"), true},  // a comment opens nothing
      {Answer("<value><!-- never closed"), false},
      {Answer("<value>\xFC\xE4</value>"), true},
      {Answer(string_value).substr(0, kMaxAnswerBytes), false},  // cut: left open
      {Answer(string_value), false},                             // over 1 MiB
      {"", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.ok, AnswerWithinBounds(c.body)) << c.body.substr(0, 120);
}

}  // namespace

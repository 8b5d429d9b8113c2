// htmlescape_test.cc: the escaping rules per context, one table each.
#include "common/htmlescape.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase {
  const char* value;
  const char* text;      // HtmlText
  const char* unquoted;  // HtmlUnquotedAttr (quoted: as HtmlValue)
};
const EscapeCase kEscapeCases[] = {
    {"", "", ""},
    {"1.234,5", "1.234,5", "1.234,5"},
    {"-3+4", "-3+4", "-3+4"},
    {"Gr\xFCn", "Gr\xFCn", "Gr\xFCn"},
    {"\xC0\xFF", "\xC0\xFF", "\xC0\xFF"},
    {"a\xD7" "b", "a\xD7" "b", "\"a\xD7" "b\""},  // the multiplication sign is no letter
    {"a b", "a b", "\"a b\""},
    {"&uuml;", "&uuml;", "\"&amp;uuml;\""},
    {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;",
     "\"&lt;script&gt;alert(1)&lt;/script&gt;\""},
    {"x\" onfocus=\"a", "x&quot; onfocus=&quot;a", "\"x&quot; onfocus=&quot;a\""},
    {"x onfocus=a", "x onfocus=a", "\"x onfocus=a\""},
    {"a'b", "a&#39;b", "\"a&#39;b\""},
    {"' onmouseover='x", "&#39; onmouseover=&#39;x", "\"&#39; onmouseover=&#39;x\""},
    {"a`b", "a`b", "\"a`b\""},
    {"a/b", "a/b", "\"a/b\""},
    {"\x7F", "\x7F", "\"\x7F\""},
};

TEST(HtmlEscape, TextAndUnquotedAttribute) {
  for (const auto& c : kEscapeCases) {
    EXPECT_EQ(c.text, HtmlText(c.value)) << c.value;
    EXPECT_EQ(c.unquoted, HtmlUnquotedAttr(c.value)) << c.value;
  }
}

TEST(HtmlEscape, ValueAndScriptString) {
  EXPECT_EQ("a&amp;uuml;&lt;b&gt;&quot;", HtmlValue("a&uuml;<b>\""));
  struct Case { const char* value; const char* want; };
  const Case cases[] = {
      {"/home/pi/web", "/home/pi/web"},
      {"/a%20b/G\xFCte", "/a%20b/G\xFCte"},
      {"x'+alert(1)+'", "x\\\\x27+alert\\\\x281\\\\x29+\\\\x27"},
      {"\"</script>", "\\\\x22\\\\x3C/script\\\\x3E"},
      {"a\\b\nc", "a\\\\x5Cb\\\\x0Ac"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, JsStringInHtml(c.value)) << c.value;
}

}  // namespace

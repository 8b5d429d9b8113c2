// htmlescape.h: the one place that knows how a value from the request or the
// runtime is written into a page, per context: element text, a quoted
// attribute, an unquoted attribute, a JavaScript string inside HTML. Every such
// value goes through one of these; none is joined into a page as it stands.
// Tested by htmlescape_test.cc; the places that use them by the program tests
// (tests/server_form_test.cc, tests/interface_test.cc, tests/e2e/browser.js).
#pragma once

#include <string>

// A runtime value shown as element text (a value cell, a reference in an HTML
// block): "<", ">", the double quote and "'" become "&lt;", "&gt;", "&quot;",
// "&#39;", so the value can open no tag and end no quoted attribute (a
// reference an author put in a single-quoted one included). "&" stays: runtime
// texts carry entities such as "&uuml;" that the pages have always shown as letters.
std::string HtmlText(const std::string& value);

// A value that the browser sends back or that is shown literally (inside a
// double-quoted attribute, an option's text, the request in test mode):
// HtmlText, and "&" as "&amp;", so the browser gets back exactly the bytes
// the page was given and the field's code still matches.
std::string HtmlValue(const std::string& value);

// A value as an unquoted attribute value (value=..., name=...): as it stands
// when it is made only of letters (Latin-1 ones too), digits, ",", ".", "-" and
// "+" (or is empty); otherwise in double quotes, written as HtmlValue.
std::string HtmlUnquotedAttr(const std::string& value);

// A value inside a JavaScript string literal of a script element, where the
// string is code that the script evaluates once more (setTimeout("...'" value
// "'...")): every ASCII byte other than a letter, a digit or one of "/._-~%+,:=@"
// becomes "\\x" and two hex digits, which both string levels turn back into the
// byte; no quote, backslash, "<" or line end is left to end a string or the script.
std::string JsStringInHtml(const std::string& value);

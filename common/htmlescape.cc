// htmlescape.cc: writing values into pages per context (see htmlescape.h).
#include "common/htmlescape.h"

namespace {

bool IsAsciiLetterOrDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters and digits, the Latin-1 letters 0xC0..0xFF (without the two signs
// 0xD7 and 0xF7) and the bytes of numbers and plain words.
bool IsBareAttrByte(unsigned char c) {
  if (IsAsciiLetterOrDigit(c)) return true;
  if (c >= 0xC0 && c != 0xD7 && c != 0xF7) return true;
  return c == ',' || c == '.' || c == '-' || c == '+';
}

}  // namespace

std::string HtmlText(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string HtmlUnquotedAttr(const std::string& value) {
  for (char c : value)
    if (!IsBareAttrByte(static_cast<unsigned char>(c))) return "\"" + HtmlValue(value) + "\"";
  return value;
}

std::string HtmlValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '&')
      out += "&amp;";
    else
      out += c;
  }
  return HtmlText(out);
}

std::string JsStringInHtml(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  static const std::string kKept = "/._-~%+,:=@";
  std::string out;
  for (char ch : value) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || IsAsciiLetterOrDigit(c) || kKept.find(ch) != std::string::npos) {
      out += ch;
    } else {
      // "\\x27" in the page is "\x27" in the outer string and "'" in the inner one.
      out += "\\\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

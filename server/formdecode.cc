// formdecode.cc: the form text decoding table (see formdecode.h).
#include "server/formdecode.h"

namespace {

struct DecodeRow {
  const char* from;
  const char* to;
};

// Applied first, always.
const DecodeRow kPlainRows[] = {
    {"+", " "},          {"&uuml;", "\xFC"}, {"&auml;", "\xE4"}, {"&ouml;", "\xF6"},
    {"&Auml;", "\xC4"},  {"&Uuml;", "\xDC"}, {"&Ouml;", "\xD6"}, {"&szuml;", "\xDF"},
};

// Applied after the plain rows when a "%" is left. "%25" sits after the rows it
// could feed, so "%25FC" stays "%FC" while "%253A" becomes ":".
// "%27" is the browsers' apostrophe: without it a text with "'" sent back
// unchanged would reach the runtime as "%27".
const DecodeRow kPercentRows[] = {
    {"%FC", "\xFC"}, {"%E4", "\xE4"}, {"%F6", "\xF6"}, {"%C4", "\xC4"}, {"%DC", "\xDC"},
    {"%D6", "\xD6"}, {"%DF", "\xDF"}, {"%20", " "},    {"%21", "!"},    {"%22", "\""},
    {"%23", "#"},    {"%24", "$"},    {"%25", "%"},    {"%26", "&"},    {"%27", "'"},
    {"%28", "("},    {"%29", ")"},    {"%2A", "*"},    {"%2B", "+"},    {"%2C", ","},
    {"%2F", "/"},    {"%3A", ":"},    {"%3B", ";"},    {"%3C", "<"},    {"%3D", "="},
    {"%3E", ">"},    {"%3F", "?"},    {"%40", "@"},    {"%5B", "["},    {"%5C", "\\"},
    {"%5D", "]"},    {"%5E", "^"},    {"%5F", "_"},    {"%60", "`"},    {"%7B", "{"},
    {"%7C", "|"},    {"%7D", "}"},    {"%7E", "~"},
};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string ReplaceUntilNone(const std::string& text, const std::string& from,
                             const std::string& to) {
  if (from.empty() || to.find(from) != std::string::npos) return text;
  // Each byte is appended to the result, and an occurrence is replaced the
  // moment it is complete; the replacement then takes part in the next match,
  // as when every search starts again at the beginning ("%2525" -> "%").
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out.push_back(c);
    while (EndsWith(out, from)) {
      out.resize(out.size() - from.size());
      out += to;
    }
  }
  return out;
}

std::string DecodeFormText(const std::string& text) {
  std::string out = text;
  for (const auto& row : kPlainRows) out = ReplaceUntilNone(out, row.from, row.to);
  if (out.find('%') == std::string::npos) return out;
  for (const auto& row : kPercentRows) out = ReplaceUntilNone(out, row.from, row.to);
  return out;
}

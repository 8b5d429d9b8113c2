// pageheader.h: the header line of a page file ("#" code, optionally "=" and a
// parameter), read alike by the page server's renderer and the site checker.
// Tested by pageheader_test.cc.
#pragma once

#include <string>

// The section codes of a page file's header lines.
constexpr int kPageSection = 1000;       // page name, file version, colours, width
constexpr int kLayoutSection = 3000;     // margins, fonts
constexpr int kColumnsSection = 6000;    // "OBJCOLS": the object table's columns
constexpr int kRefreshSection = 7000;    // the page's own reload
constexpr int kHeadSection = 8000;       // "SHEAD": the page head is written here
constexpr int kTopNavigation = 9000;     // "NAVI" above the tables
constexpr int kBottomNavigation = 9001;  // "NAVI" below them
constexpr int kObjectTable = 10000;      // "OBJROW" lines
constexpr int kMacroTable = 11000;       // "MACRO" lines
constexpr int kHtmlBlock1 = 20000;       // "HTML1" blocks
constexpr int kHtmlBlock2 = 21000;       // "HTML2" blocks

// Reads a page file's header line with its "#" already dropped: the code before
// the first "=" and the text up to the second "=" as the parameter, when the
// text holds "=" after its first byte; else the code of the whole text and an
// empty parameter. Codes are read as by atoi, clamped to the int range.
void ReadPageHeader(const std::string& text, int* code, std::string* param);

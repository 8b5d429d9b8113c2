// pageheader.h: the header line of a page file ("#" code, optionally "=" and a
// parameter), read alike by the page server's renderer and the site checker.
// Tested by pageheader_test.cc.
#pragma once

#include <string>

// Reads a page file's header line with its "#" already dropped: the code before
// the first "=" and the text up to the second "=" as the parameter, when the
// text holds "=" after its first byte; else the code of the whole text and an
// empty parameter. Codes are read as by atoi, clamped to the int range.
void ReadPageHeader(const std::string& text, int* code, std::string* param);

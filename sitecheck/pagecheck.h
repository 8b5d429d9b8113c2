// pagecheck.h: the site checker's rules for one page file: section headers,
// width and font-size numbers, object rows (field count, kind, editable flag,
// selection count), macro labels, navigation entries and counts, and, with name
// lookups, the names and index fields that the runtime must know.
// Tested by sitecheck_test.cc.
#pragma once

#include <string>
#include <vector>

// Checks the lines (as ReadCheckedLines gives them) of the page file file_name
// into Findings. Reads CheckSettings for the directory, the site and the lookups.
void CheckPageFile(const std::string& file_name, const std::vector<std::string>& lines);

// Checks one "NAME=value" line of a settings section whose value must be a whole
// number: the site definition's "BW", a page's "BW", its widths and font sizes.
// keys lists the keys to test; a line of another key or an empty value passes.
void CheckNumberKeys(const std::string& file_name, int line_no, const std::string& line,
                     const std::vector<const char*>& keys);

// pagecheck.h: the site checker's rules for one page file: section headers and
// the keys each section reads, the page head (one "SHEAD", settings before it,
// the form start), width and font-size numbers, object rows (field count, kind,
// editable flag, selection count), macro labels, navigation entries and counts,
// "%<NAME>" references, a table left open, the reload's target, and, with name
// lookups, the names, index fields, kinds and writability the runtime tells.
// Tested by sitecheck_test.cc.
#pragma once

#include <string>
#include <vector>

// Checks the lines (as ReadCheckedLines gives them) of the page file file_name
// of the page page into Findings. Reads CheckSettings for the directory, the
// site and the lookups.
void CheckPageFile(const std::string& file_name, const std::string& page,
                   const std::vector<std::string>& lines);

// Checks one "NAME=value" line of a settings section whose value must be a whole
// number: the site definition's "BW", a page's "BW", its widths and font sizes.
// keys lists the keys to test; a line of another key or an empty value passes.
void CheckNumberKeys(const std::string& file_name, int line_no, const std::string& line,
                     const std::vector<const char*>& keys);

// signoncheck.h: the site checker's rules for who may see the site: the user
// file (three fields, a start page that exists, a name listed once, names and
// passwords as the browser sends them) and the "FREEIPS" entries of the site
// definition file (enclosed prefixes, an empty entry that ends the list).
// Tested by sitecheck_test.cc.
#pragma once

#include <string>

// Checks the site's user file (CheckSettings names the site and the folder).
// A password is never printed, only the user name of its line.
void CheckUserFile();

// Checks the value of a "FREEIPS" line of the site definition file (empty: no line).
void CheckFreeIps(const std::string& file, int line_no, const std::string& list);

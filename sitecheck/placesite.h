// placesite.h: PlaceSite, one command that places the sites of a folder on the
// box: checks each against the box's runtime (sitecheck.h), refuses on errors
// unless forced, places every site file of the folder into the site directory
// at once (common/filerewrite.h PlaceFiles: all or none, the old site kept on
// any failure), mode 0600, owned by the site directory's owner when run as
// root, compiles each site with the box's Sheetmaker (as that owner, never as
// root) and prints the findings and each site's address.
// Tested by tests/placesite_test.cc (the real program in the test box).
#pragma once

#include <string>
#include <vector>

// Exit statuses of PlaceSite.
constexpr int kPlaceDone = 0;          // placed and compiled
constexpr int kPlaceRefused = 1;       // a site has errors (without --force): nothing placed
constexpr int kPlaceFailed = 2;        // bad command line, a folder or file that cannot be
                                       // read, no runtime (without --force), or the placing
                                       // failed: nothing placed
constexpr int kPlaceNotCompiled = 3;   // placed, but a compile did not end well

// The site files of a folder as PlaceSite takes them: the names that pass
// IsValidName and end in ".TVS", ".SHT" or "_WEBUSERS.USR", sorted.
std::vector<std::string> SiteFilesIn(const std::string& dir);

// One run: args are the command-line arguments after the program name.
int PlaceSiteRun(const std::vector<std::string>& args);

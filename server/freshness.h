// freshness.h: keeping a site's compiled page files current: whether the site
// definition file is older than the runtime's project (the AF file), and the
// start of the compiler Sheetmaker for the site, without a shell.
// Tested by freshness_test.cc and tests/server_road_test.cc.
#pragma once

#include <string>

// True only when both times are known and the site's is strictly older. Not
// known: kNoFileTime (a file that cannot be examined), 0 (no runtime
// configuration file) and 99999999 (no "AF=" line in it).
bool SiteNeedsCompile(long long site_time, long long af_time);

// Runs program with the site name as its one argument, without a shell, and
// waits for it; its exit status is not looked at. It writes to the server's
// standard output (before anything else is written there); its standard input
// and standard error are /dev/null. A site name that fails IsValidName starts
// nothing.
void StartCompiler(const std::string& program, const std::string& site_name);

// The request road's step: when the site (Request.SiteName) is out of date by
// the two times, starts kSiteDir + "Sheetmaker" for it and waits.
void CompileSiteWhenOutOfDate(long long site_time, long long af_time);

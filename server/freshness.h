// freshness.h: keeping a site's compiled page files current: whether the site
// definition file is older than the runtime's project (the AF file) or the
// site's compile record names another project file than the one there now,
// and the start of the compiler Sheetmaker for the site, without a shell.
// Tested by freshness_test.cc and tests/server_road_test.cc.
#pragma once

#include <string>

#include "common/config.h"

// True only when both times are known and either the site's is strictly older
// or the compile record is not current (missing, or naming another path or
// another state of the project file). A time is not known when its file cannot
// be examined, or (the AF time) when the runtime configuration file is missing
// or has no "AF=" line: without a site or a project nothing is compiled.
bool SiteNeedsCompile(const FileTime& site_time, const FileTime& af_time, bool record_current);

// Runs program with the site name as its one argument, without a shell, and
// waits for it; returns its exit status (-1 when it did not run or end). It
// writes to the server's standard output (before anything else is written
// there); its standard input and standard error are /dev/null. A site name that
// fails IsValidName starts nothing (-1).
int StartCompiler(const std::string& program, const std::string& site_name);

// The request road's step: when the site (Request.SiteName) is out of date by
// the two times or its compile record (read only when the times leave it
// open), starts kSiteDir + "Sheetmaker" for it and waits. When the
// compiler ends for want of a runtime, the rest of the request treats the
// runtime as unreachable (its page shows the fallbacks without waiting again).
void CompileSiteWhenOutOfDate(const FileTime& site_time, const FileTime& af_time);

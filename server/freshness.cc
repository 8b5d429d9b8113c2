// freshness.cc: the freshness check and the compiler start (see freshness.h).
#include "server/freshness.h"

#include "common/config.h"
#include "common/names.h"
#include "common/paths.h"
#include "common/runprogram.h"
#include "server/request.h"

namespace {

constexpr char kCompilerName[] = "Sheetmaker";

}  // namespace

bool SiteNeedsCompile(const FileTime& site_time, const FileTime& af_time) {
  return site_time && af_time && *site_time < *af_time;
}

void StartCompiler(const std::string& program, const std::string& site_name) {
  if (!IsValidName(site_name)) return;
  ChildStreams streams;
  streams.out = ChildStream::kInherit;
  RunProgramAndWait({program, site_name}, streams);
}

void CompileSiteWhenOutOfDate(const FileTime& site_time, const FileTime& af_time) {
  if (SiteNeedsCompile(site_time, af_time))
    StartCompiler(std::string(kSiteDir) + kCompilerName, Request.SiteName);
}

// freshness.cc: the freshness check and the compiler start (see freshness.h).
#include "server/freshness.h"

#include "common/boxfiles.h"
#include "common/config.h"
#include "common/names.h"
#include "common/runprogram.h"
#include "server/request.h"

namespace {

bool IsKnownTime(long long t) {
  return t != kNoFileTime && t != kNoRuntimeConfigTime && t != kNoAfEntryTime;
}

}  // namespace

bool SiteNeedsCompile(long long site_time, long long af_time) {
  return IsKnownTime(site_time) && IsKnownTime(af_time) && site_time < af_time;
}

void StartCompiler(const std::string& program, const std::string& site_name) {
  if (!IsValidName(site_name)) return;
  ChildStreams streams;
  streams.out = ChildStream::kInherit;
  RunProgramAndWait({program, site_name}, streams);
}

void CompileSiteWhenOutOfDate(long long site_time, long long af_time) {
  if (SiteNeedsCompile(site_time, af_time))
    StartCompiler(CompilerPath(), Request.SiteName);
}

// freshness.cc: the freshness check and the compiler start (see freshness.h).
#include "server/freshness.h"

#include "common/boxfiles.h"
#include "common/compilerecord.h"
#include "common/config.h"
#include "common/names.h"
#include "common/runprogram.h"
#include "common/runtime.h"
#include "server/request.h"

namespace {

// The compiler's exit status when it found no runtime (or gave up at once after
// a run that had found none): the runtime is hung or gone.
constexpr int kCompilerFoundNoRuntime = 4;

}  // namespace

bool SiteNeedsCompile(const FileTime& site_time, const FileTime& af_time, bool record_current) {
  return site_time && af_time && (*site_time < *af_time || !record_current);
}

int StartCompiler(const std::string& program, const std::string& site_name) {
  if (!IsValidName(site_name)) return -1;
  ChildStreams streams;
  streams.out = ChildStream::kInherit;
  return RunProgramAndWait({program, site_name}, streams);
}

void CompileSiteWhenOutOfDate(const FileTime& site_time, const FileTime& af_time) {
  // The record is read only when the times alone do not decide.
  const bool record_current =
      !SiteNeedsCompile(site_time, af_time, true) &&
      CompileRecordIsCurrent(CompileRecordPath(Request.BaseDir, Request.SiteName),
                             ProjectRecordText(Request.AbKeCfgPath));
  if (!SiteNeedsCompile(site_time, af_time, record_current)) return;
  if (StartCompiler(CompilerPath(), Request.SiteName) == kCompilerFoundNoRuntime)
    TreatRuntimeAsUnreachable();
}

// compile.cc: the compiler's line rules, the page-file and site-file rewrites and
// the run for one site (see compile.h). The runtime is asked only through
// common/runtime.h; files are rewritten only through ReplaceFileContent.
#include "sheetmaker/compile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "common/batchreads.h"
#include "common/boxfiles.h"
#include "common/compilerecord.h"
#include "common/config.h"
#include "common/filerewrite.h"
#include "common/paths.h"
#include "common/names.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kFieldSeparator = '@';
constexpr size_t kShortestKeptLine = 2;  // page files drop lines of 0 and 1 bytes
// A run that waited for the lock gives up at once for this long after a run
// that found no runtime; the site stays due and a later request tries again.
constexpr long long kNoRuntimeWindowSeconds = 30;

bool BeginsWith(const std::string& line, const char* key) {
  return line.compare(0, std::char_traits<char>::length(key), key) == 0;
}

// The line of one record with the runtime's index of its name in index_field.
std::string FillIndex(const std::string& line, size_t key_length, int index_field,
                      const IndexLookup& lookup, bool* runtime_gone) {
  const std::string name = StrGetIndex(line.substr(key_length), 1, kFieldSeparator);
  CallOutcome outcome = CallOutcome::kFault;
  const int index = lookup(name, &outcome);
  if (outcome == CallOutcome::kUnreachable) {
    *runtime_gone = true;
    return line;
  }
  // An unknown name keeps its line, so that a later run can repair it.
  const std::string value =
      outcome == CallOutcome::kOk && index >= 0 ? IntToStrS(index) : kUnknownIndex;
  return ReplaceField(line, index_field, value, kFieldSeparator);
}

// The lookups of one page file's names: all of them asked in one batch before
// the file is rewritten, each answer given once; a name with no answer left (the
// file changed in between) is looked up alone.
IndexLookup FetchedLookup(BatchAnswers* answers, ReadKind kind, const IndexLookup& alone) {
  return [answers, kind, alone](const std::string& name, CallOutcome* outcome) {
    RuntimeRead read;
    if (!TakeAnswer(answers, kind, name, &read)) return alone(name, outcome);
    *outcome = read.outcome;
    return read.outcome == CallOutcome::kOk ? read.number : -1;
  };
}

BatchAnswers FetchPageIndices(const std::string& path) {
  std::vector<std::string> raw;
  std::vector<RuntimeRead> reads;
  if (ReadRawLines(path, &raw)) {
    for (const std::string& line : raw) {
      if (line.size() < kShortestKeptLine) continue;
      const std::string text = DropCarriageReturn(line);
      RuntimeRead read;
      if (BeginsWith(text, kObjRowKey)) {
        read.kind = ReadKind::kVarIdx;
        read.argument = StrGetIndex(text.substr(sizeof(kObjRowKey) - 1), 1, kFieldSeparator);
      } else if (BeginsWith(text, kMacroKey)) {
        read.kind = ReadKind::kObjIdx;
        read.argument = StrGetIndex(text.substr(sizeof(kMacroKey) - 1), 1, kFieldSeparator);
      } else {
        continue;
      }
      reads.push_back(read);
    }
  }
  ReadInBatches(&reads);
  return AnswersOf(reads);
}

// A project file dated in the future (a clock behind the AF time) would leave
// the freshly written site definition file older than it, and every request
// would compile again: its time is raised to the AF file's.
void KeepSiteNoOlderThanProject(const std::string& site_path) {
  const FileTime af_time = GetAFFileTime(RuntimeConfigPath());
  const FileTime site_time = GetFileTime(site_path);
  if (!af_time || !site_time || *site_time >= *af_time) return;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the access time stays
  times[1].tv_sec = static_cast<time_t>(*af_time);
  times[1].tv_nsec = 0;
  utimensat(AT_FDCWD, site_path.c_str(), times, 0);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

}  // namespace

std::string ReplaceField(const std::string& line, int n, const std::string& value, char sep) {
  size_t begin = 0;
  if (n - 1 > 0) {
    int passed = 0;
    while (passed < n - 1) {
      if (begin >= line.size()) return line;
      if (line[begin] == sep) ++passed;
      ++begin;
    }
    // The (n-1)-th separator is the last byte: an empty last field is not filled.
    if (begin >= line.size()) return line;
  }
  size_t end = line.find(sep, begin);
  if (end == std::string::npos) end = line.size();
  return line.substr(0, begin) + value + line.substr(end);
}

std::string CompilePageLine(const std::string& line, const IndexLookup& var_idx,
                            const IndexLookup& obj_idx, bool* runtime_gone) {
  if (BeginsWith(line, kObjRowKey))
    return FillIndex(line, sizeof(kObjRowKey) - 1, kObjRowIndexField, var_idx, runtime_gone);
  if (BeginsWith(line, kMacroKey))
    return FillIndex(line, sizeof(kMacroKey) - 1, kMacroIndexField, obj_idx, runtime_gone);
  return line;
}

int UpdatePageFile(const std::string& path, const IndexLookup& var_idx,
                   const IndexLookup& obj_idx) {
  std::vector<std::string> raw;
  if (!ReadRawLines(path, &raw)) return kFileNotFound;
  std::vector<std::string> lines;
  lines.reserve(raw.size());
  for (const std::string& line : raw) {
    if (line.size() < kShortestKeptLine) continue;  // a lone CR counts as one byte
    bool runtime_gone = false;
    lines.push_back(CompilePageLine(DropCarriageReturn(line), var_idx, obj_idx, &runtime_gone));
    // Without a runtime no index can be trusted: the page stays as it was.
    if (runtime_gone) return kFileRuntimeGone;
  }
  // A page file that already reads so is left alone: a compile after a project
  // change that moved none of its indices costs no rewrite (and no fsync).
  const std::string content = JoinLines(lines);
  if (FileHoldsExactly(path, content)) return kFileDone;
  return ReplaceFileContent(path, content) ? kFileDone : kFileNotWritten;
}

int CopyFileLines(const std::string& source, const std::string& target) {
  std::vector<std::string> lines;
  if (!ReadRawLines(source, &lines)) return kFileNoSource;
  for (std::string& line : lines) line = DropCarriageReturn(line);
  return ReplaceFileContent(target, JoinLines(lines)) ? kFileDone : kFileNoTarget;
}

int RunSheetmaker(const std::vector<std::string>& args) {
  if (args.empty() || !IsValidName(args[0])) return kExitBadSiteName;
  const std::string site = args[0];
  const std::string site_path = SiteDefinitionPath(kSiteDir, site);

  // Opened before the lock, so that a site that does not exist leaves no lock file.
  const FileStamp before = StampOf(site_path);
  std::vector<std::string> site_lines;
  if (!ReadRawLines(site_path, &site_lines)) return kExitNoSiteFile;

  LoadCfgFile(ControlFilePath());

  // Held until the process ends. Without a lock file the run goes on unlocked;
  // it could not rewrite anything in such a directory anyway.
  const std::string no_runtime_record = NoRuntimeRecordPath(kSiteDir, site);
  const std::string record_path = CompileRecordPath(kSiteDir, site);
  std::string project;  // the project file this run compiles against
  bool waited = false;
  if (LockFileAt(LockFilePath(kSiteDir, site), LOCK_EX, &waited) >= 0) {
    project = ProjectRecordText(RuntimeConfigPath());
    // Rewritten since this run first looked: a run that held the lock (this one
    // waited for it, or it ended just before this one took it) has just
    // compiled the site, against the project file as it stands unless that
    // changed since.
    const FileStamp now = StampOf(site_path);
    if (before.exists && now.exists && !SameStamp(before, now) &&
        (project.empty() || CompileRecordIsCurrent(record_path, project)))
      return kExitDone;
    // The run this one waited for found no runtime: with a hung runtime each
    // waiting run would wait one more call bound, and requests would queue.
    if (waited && NoRuntimeRecordIsRecent(no_runtime_record, time(nullptr),
                                          kNoRuntimeWindowSeconds))
      return kExitNoRuntime;
  }
  if (!ReadRawLines(site_path, &site_lines)) return kExitNoSiteFile;
  // Taken before the first lookup: a project changed during the run leaves the
  // record naming the older one, so the next request compiles again.
  if (project.empty()) project = ProjectRecordText(RuntimeConfigPath());

  for (const std::string& line : site_lines) {
    if (line.size() < kShortestKeptLine) continue;
    const std::string text = DropCarriageReturn(line);
    if (!BeginsWith(text, kSiteKey)) continue;
    const std::string page = text.substr(sizeof(kSiteKey) - 1);
    // The web page server shows no page whose name fails the check; such a line
    // must not make the compiler rewrite a file outside the site's own.
    if (!IsValidName(page)) continue;
    const std::string page_path = PageFilePath(kSiteDir, site, page);
    BatchAnswers answers = FetchPageIndices(page_path);
    const int result =
        UpdatePageFile(page_path, FetchedLookup(&answers, ReadKind::kVarIdx, RuntimeGetVarIdx),
                       FetchedLookup(&answers, ReadKind::kObjIdx, RuntimeGetObjIdx));
    if (result == kFileRuntimeGone) {
      WriteNoRuntimeRecord(no_runtime_record, time(nullptr));
      return kExitNoRuntime;
    }
  }

  // Last: the site definition file's new time marks the site as compiled, and
  // then the record names the project file it was compiled against (a record
  // written first could mark pages current under the old form stamp).
  if (CopyFileLines(site_path, site_path) == kFileDone) {
    unlink(no_runtime_record.c_str());
    KeepSiteNoOlderThanProject(site_path);
    if (!project.empty()) WriteCompileRecord(record_path, project);
  }
  return kExitDone;
}

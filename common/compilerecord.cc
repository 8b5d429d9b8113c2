// compilerecord.cc: the compile record (see compilerecord.h).
#include "common/compilerecord.h"

#include <optional>

#include "common/config.h"
#include "common/filerewrite.h"
#include "common/filestamp.h"

std::string ProjectRecordText(const std::string& cfg_path) {
  const std::optional<std::string> af_path = GetAFFilePath(cfg_path);
  if (!af_path) return std::string();
  const FileStamp stamp = StampOf(*af_path);
  if (!stamp.exists) return std::string();
  return *af_path + "\n" + std::to_string(stamp.dev) + " " + std::to_string(stamp.inode) + " " +
         std::to_string(stamp.size) + " " + std::to_string(stamp.mtime_sec) + " " +
         std::to_string(stamp.mtime_nsec) + "\n";
}

bool CompileRecordIsCurrent(const std::string& record_path, const std::string& record_text) {
  return FileHoldsExactly(record_path, record_text);
}

bool WriteCompileRecord(const std::string& record_path, const std::string& record_text) {
  return ReplaceFileContent(record_path, record_text);
}

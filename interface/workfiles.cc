// workfiles.cc: the work-file command and its page (see workfiles.h).
#include "interface/workfiles.h"

#include "interface/pages.h"
#include "common/htmlescape.h"
#include "common/runtime.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kRename[] = "ren";

std::string DecodeBlanks(const std::string& name) { return StringReplace(name, "%20", " "); }

}  // namespace

int WorkFiles(const std::string& query) {
  const std::string action = StrGetIndex(query, 2, '&');
  const std::string file = DecodeBlanks(StrGetIndex(query, 3, '&'));
  const bool rename = action == kRename;
  const std::string new_name = rename ? DecodeBlanks(StrGetIndex(query, 4, '&')) : std::string();
  if (!RuntimeWorkFile(action, file, new_name)) return kWorkFileFailed;
  return rename ? kWorkFileRenamed : kWorkFileDeleted;
}

std::string WorkFileDir(const std::string& file) {
  if (file.size() < 2) return file;
  // From the second-to-last byte down to the second: a final "/" names no
  // directory, and one in the first byte leaves the directory empty.
  for (size_t pos = file.size() - 2; pos >= 1; --pos) {
    if (file[pos] == '/') return file.substr(0, pos);
  }
  return std::string();
}

void CreateHTMLWorkFiles(int result, const std::string& directory) {
  const char* message = "Datei umbenannt";
  if (result == kWorkFileDeleted) message = "Datei gel\xF6scht";
  // A failed call is not reported as done.
  if (result == kWorkFileFailed) message = "Datei-Aktion fehlgeschlagen";
  WriteActionPage(message,
                  "setTimeout(\"window.location.href='servmain.ccc?HTM=Workfiles.cls&path=" +
                      JsStringInHtml(directory) + "'\",0);}");
}

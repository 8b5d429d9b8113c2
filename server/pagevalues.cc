// pagevalues.cc: a page's values fetched ahead of the page (see pagevalues.h).
// Which lines need a value follows the renderer's rules (render.cc) and the row
// writers' (objrows.cc): an "OBJROW" of section 10000 whose index is not "-1",
// and the references of "HTML1" (section 20000) and "HTML2" (section 21000).
#include "server/pagevalues.h"

#include <vector>

#include "common/batchreads.h"
#include "common/pageheader.h"
#include "server/objrows.h"
#include "server/sitefiles.h"
#include "toolkit/strobj.h"

namespace {

// The answers not yet taken.
BatchAnswers fetched;

void AddRead(std::vector<RuntimeRead>* reads, ReadKind kind, const std::string& argument) {
  RuntimeRead read;
  read.kind = kind;
  read.argument = argument;
  reads->push_back(read);
}

// The reads of one content line of section code.
void AddLineReads(int code, const std::string& line, std::vector<RuntimeRead>* reads) {
  const char* key = code == kObjectTable  ? "OBJROW"
                    : code == kHtmlBlock1 ? "HTML1"
                    : code == kHtmlBlock2 ? "HTML2"
                                          : nullptr;
  if (key == nullptr) return;
  const std::string value = StrGetKeyRow(key, line);
  if (value.empty()) return;
  if (code == kObjectTable) {
    const std::string index = StrGetIndex(value, 5, '@');
    if (index != "-1") AddRead(reads, ReadKind::kVarByIdx, index);
    return;
  }
  for (const std::string& name : VarRefNames(value)) AddRead(reads, ReadKind::kVarByName, name);
}

}  // namespace

void FetchPageValues(std::FILE* file) {
  std::vector<RuntimeRead> reads;
  int code = 0;
  std::string line;
  while (ReadFileLine(file, &line)) {
    if (line[0] == '#') {
      std::string param;
      ReadPageHeader(line.substr(1), &code, &param);
    } else {
      AddLineReads(code, line, &reads);
    }
  }
  std::rewind(file);
  ReadInBatches(&reads);
  fetched = AnswersOf(reads);
}

bool PageVarByIdx(std::string& text) {
  RuntimeRead read;
  if (!TakeAnswer(&fetched, ReadKind::kVarByIdx, text, &read)) return ReadVarByIdx(1, text);
  return VarByIdxResult(read, text);
}

std::string PageVarByName(const std::string& name) {
  RuntimeRead read;
  if (!TakeAnswer(&fetched, ReadKind::kVarByName, name, &read)) return ReadVarByName(1, name);
  return VarByNameResult(read);
}

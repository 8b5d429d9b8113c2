// batchreads.cc: batched reads and the "no multicall" marker (see batchreads.h).
#include "common/batchreads.h"

#include <unistd.h>


#include "common/config.h"
#include "common/filerewrite.h"
#include "common/boxfiles.h"

namespace {

// The marker's text for a stamp; "-" stands for no readable AF file, so a
// runtime without a readable project is remembered until it gets one.
std::string MarkerText(const FileTime& stamp) {
  return (stamp ? std::to_string(*stamp) : std::string("-")) + "\n";
}

}  // namespace

void ReadInBatches(std::vector<RuntimeRead>* reads) {
  if (reads->empty()) return;
  const std::string text = MarkerText(GetAFFileTime(RuntimeConfigPath()));
  const bool known_missing = FileHoldsExactly(NoMulticallPath(), text);
  if (RuntimeReadMany(reads, !known_missing) != MulticallSupport::kNotOffered || known_missing)
    return;
  // A temporary name of this process's own: pages of other requests may write
  // the same marker at the same moment.
  const std::string path = NoMulticallPath();
  ReplaceFileContent(path, text, path + "_" + std::to_string(getpid()));
}

BatchAnswers AnswersOf(const std::vector<RuntimeRead>& reads) {
  BatchAnswers answers;
  for (const RuntimeRead& read : reads) answers.queues[{read.kind, read.argument}].push_back(read);
  return answers;
}

bool TakeAnswer(BatchAnswers* answers, ReadKind kind, const std::string& argument,
                RuntimeRead* read) {
  auto found = answers->queues.find({kind, argument});
  if (found == answers->queues.end() || found->second.empty()) return false;
  *read = found->second.front();
  found->second.pop_front();
  return true;
}

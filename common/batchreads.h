// batchreads.h: the reads of one page or one compile, asked of the runtime
// together (RuntimeReadMany), and the marker file in the site directory that
// remembers a runtime without "system.multicall" for as long as its project
// (the AF file's stamp) stays the same: such a runtime costs one failed probe
// per project change, not one per page.
// Tested by tests/server_page_test.cc and tests/sheetmaker_test.cc (pages and
// compiles against runtimes with and without multicall, the marker renewed).
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/runtime.h"

// Answers every read (RuntimeReadMany): by "system.multicall" unless the marker
// (NoMulticallPath, boxfiles.h: the AF file's stamp in decimal, or "-" when it
// has none, and LF) holds the AF file's current stamp. A refusal writes the
// marker with that stamp when it does not hold it yet.
void ReadInBatches(std::vector<RuntimeRead>* reads);

// The answers of a batch, each to be taken once: by kind and argument, in the
// order they were asked.
struct BatchAnswers {
  std::map<std::pair<ReadKind, std::string>, std::deque<RuntimeRead>> queues;
};
BatchAnswers AnswersOf(const std::vector<RuntimeRead>& reads);
// Takes the next answer for kind and argument into *read; false when none is left.
bool TakeAnswer(BatchAnswers* answers, ReadKind kind, const std::string& argument,
                RuntimeRead* read);

// sitecheck_fuzz.cc: the site checker's page-file rules over any bytes, as a
// page file of site "S", with name lookups that answer from the name alone (no
// runtime), and the same bytes as a trial-runtime project file. Promises
// checked: every finding names a line of the file (or 0, the whole file), every printed line is free
// of bytes a terminal takes as control, and a project that does not parse
// says on which line.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "sitecheck/findings.h"
#include "sitecheck/pagecheck.h"
#include "sitecheck/projectnames.h"
#include "sitecheck/sitecheck.h"
#include "sitecheck/textcheck.h"

using fuzzsupport::Require;

namespace {

// Some names get an index, some are unknown (-1), some give a fault.
int StandInLookup(const std::string& name, CallOutcome* outcome) {
  *outcome = name.size() % 7 == 3 ? CallOutcome::kFault : CallOutcome::kOk;
  return static_cast<int>(name.size() % 5) - 1;
}

// Kinds and writability from the name alone, too.
VarFacts StandInFacts(const std::string& name) {
  VarFacts facts;
  facts.kind = "SNU"[name.size() % 3];
  facts.writable = static_cast<int>(name.size() % 2);
  return facts;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (!ParseProjectNames(text, &error)) {
    Require(error.compare(0, 5, "line ") == 0, "a project error names its line");
  }

  const std::string path = fuzzsupport::WriteScratchFile(text);
  CheckSettings = CheckSettingsRec();
  CheckSettings.dir = path.substr(0, path.rfind('/') + 1);
  CheckSettings.site = "S";
  CheckSettings.var_idx = StandInLookup;
  CheckSettings.obj_idx = StandInLookup;
  CheckSettings.var_facts = StandInFacts;
  Findings = FindingsRec();
  std::vector<std::string> lines;
  bool unended = false;
  Require(ReadCheckedLines(path, &lines, &unended), "the scratch file reads");
  CheckFileText("S_P.SHT", &lines, unended, true);
  CheckPageFile("S_P.SHT", "P", lines);
  for (const Finding& f : Findings.list)
    Require(f.line >= 0 && f.line <= static_cast<int>(lines.size()), "a finding names a line");
  for (const std::string& line : ReportLines("S"))
    for (char c : line) Require(!IsControl(static_cast<unsigned char>(c)), "printable output");
  return 0;
}

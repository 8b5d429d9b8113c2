// main.cc: SiteCheck [--dir DIR] [--runtime | --project FILE] SITE. Checks the
// site's definition file, page files and user file (sitecheck.h) and prints one
// line per finding, "file:line: error: message" or "...: warning: ...", then a
// summary line. Writes no file. Exit status 0 without errors, 1 with errors, 2
// when the site (or the project, or the runtime) cannot be read or the command
// line is wrong. --dir checks a site outside the box (default: the box's site
// directory); --runtime asks the runtime at the box's control file address,
// --project reads the names of a trial-runtime project file instead. --help
// prints what it does and exits 0.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/boxfiles.h"
#include "common/config.h"
#include "common/names.h"
#include "common/paths.h"
#include "common/runtime.h"
#include "sitecheck/findings.h"
#include "sitecheck/projectnames.h"
#include "sitecheck/sitecheck.h"

namespace {

constexpr char kUsage[] = "usage: SiteCheck [--dir DIR] [--runtime | --project FILE] SITE\n";
constexpr char kHelp[] =
    "Checks the site SITE (SITE.TVS, its page files, SITE_WEBUSERS.USR) and prints\n"
    "one line per finding, file:line: error|warning: what and how to mend it, then\n"
    "a summary. An error makes the page wrong; a warning is probably unintended.\n"
    "  --dir DIR       the site's folder (default: the box's site directory)\n"
    "  --runtime       check names, kinds against the runtime of the box's CTLKRN.CFG\n"
    "  --project FILE  check names, kinds and read-only variables against a trial project\n"
    "Exit status: 0 no errors, 1 errors, 2 the site, project or runtime cannot be read.\n";

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

// Fills CheckSettings from the arguments; false (with a message) when they are wrong.
bool ReadArguments(const std::vector<std::string>& args) {
  CheckSettings = CheckSettingsRec();
  CheckSettings.dir = kSiteDir;
  bool runtime = false;
  std::string project;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--dir" || a == "--project") && i + 1 < args.size()) {
      (a == "--dir" ? CheckSettings.dir : project) = args[++i];
    } else if (a == "--help") {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      std::exit(0);
    } else if (a == "--runtime") {
      runtime = true;
    } else if (!a.empty() && a[0] != '-' && CheckSettings.site.empty()) {
      CheckSettings.site = a;
    } else {
      std::fputs(kUsage, stderr);
      return false;
    }
  }
  if (CheckSettings.site.empty() || (runtime && !project.empty())) {
    std::fputs(kUsage, stderr);
    return false;
  }
  if (!IsValidName(CheckSettings.site)) {
    Print(Quoted(CheckSettings.site) + " is not a site name");
    return false;
  }
  if (CheckSettings.dir.empty() || CheckSettings.dir.back() != '/') CheckSettings.dir += '/';
  if (runtime) {
    UseRuntimeLookups();
  } else if (!project.empty()) {
    std::string text, error;
    if (!ReadWholeFile(project, &text)) {
      Print(Printable(project) + ": the project file cannot be read");
      return false;
    }
    if (!ParseProjectNames(text, &error)) {
      Print(Printable(project) + ":" + error.substr(5));  // "line N: ..." as "file:N: ..."
      return false;
    }
    CheckSettings.var_idx = ProjectVarIdx;
    CheckSettings.obj_idx = ProjectObjIdx;
    CheckSettings.var_facts = ProjectVarFacts;
  }
  return true;
}

int Run(const std::vector<std::string>& args) {
  if (!ReadArguments(args)) return kCheckUnreadable;
  const int status = CheckSite();
  if (CheckSettings.runtime_gone) {
    Print("the runtime at " + (AbKeURL.empty() ? std::string("(no address)") : AbKeURL) +
          " does not answer; the site was not checked");
  } else if (status == kCheckUnreadable) {
    Print(Printable(SiteDefinitionPath(CheckSettings.dir, CheckSettings.site)) +
          ": the site definition file cannot be read");
  } else {
    for (const std::string& line : ReportLines(CheckSettings.site)) Print(line);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    return Run(args);
  } catch (...) {
    return kCheckUnreadable;
  }
}

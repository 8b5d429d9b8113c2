// placesite.cc: the run of PlaceSite (see placesite.h). Order: check every site
// of the folder, read every file, place them all at once, then compile; a
// failure before the placing changes nothing on the box, and the placing
// itself is all or none.
#include "sitecheck/placesite.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "common/boxfiles.h"
#include "common/config.h"
#include "common/filerewrite.h"
#include "common/names.h"
#include "common/paths.h"
#include "common/runprogram.h"
#include "common/runtime.h"
#include "sitecheck/findings.h"
#include "sitecheck/sitecheck.h"

#ifndef TELVARIN_CGI_URL
#define TELVARIN_CGI_URL "/telvarin/"
#endif

namespace {

constexpr char kUsage[] = "usage: PlaceSite DIR [--force]\n";
constexpr char kHelp[] =
    "Places the sites of DIR (SITE.TVS, its page files SITE_PAGE.SHT, SITE_WEBUSERS.USR)\n"
    "into the box's site directory: checks each against the runtime, places nothing\n"
    "when a site has errors (--force places it all the same), places all files at once\n"
    "(on any failure the old files stay), compiles each site with Sheetmaker and prints\n"
    "its address. Exit status: 0 placed and compiled, 1 refused for errors, 2 nothing\n"
    "placed (folder, file or runtime not readable, placing failed), 3 placed, not compiled.\n";
// The site definition file carries this time until its compile: a request that
// comes before the compile has ended compiles the site itself first.
constexpr long kDueTime = 1;
// Every placed file is its owner's alone (the web server's user, who rewrites
// the page and site files); the user file holds plain-text passwords.
constexpr int kPlacedFileMode = 0600;

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string SiteOf(const std::string& site_file) {
  return site_file.substr(0, site_file.size() - (sizeof kSiteFileSuffix - 1));
}

// Checks one site of dir and prints its findings; the status of the check.
// Without a runtime (and only then) the site is checked without names.
int CheckAndReport(const std::string& dir, const std::string& site, bool* runtime_gone) {
  CheckSettings = CheckSettingsRec();
  CheckSettings.dir = dir;
  CheckSettings.site = site;
  UseRuntimeLookups();
  int status = CheckSite();
  if (CheckSettings.runtime_gone) {
    *runtime_gone = true;
    Print("the runtime at " + (AbKeURL.empty() ? std::string("(no address)") : AbKeURL) +
          " does not answer; " + site + " is checked without its names");
    CheckSettings.var_idx = nullptr;
    CheckSettings.obj_idx = nullptr;
    CheckSettings.var_facts = nullptr;
    status = CheckSite();
  }
  if (status == kCheckUnreadable) {
    Print(Printable(dir + site) + kSiteFileSuffix + ": the site definition file cannot be read");
  } else {
    for (const std::string& line : ReportLines(site)) Print(line);
  }
  return status;
}

// The whole of a plain file, never through a link and never a folder, a fifo or
// a device: run as root on a folder someone else prepared, a link named like a
// page file must not carry another file of the box into the site directory.
bool ReadPlainFile(const std::string& path, std::string* text) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char block[65536];
  ssize_t n = 0;
  while (ok && (n = read(fd, block, sizeof block)) > 0) text->append(block, static_cast<size_t>(n));
  ok = ok && n == 0;
  close(fd);
  return ok;
}

// The site's address as a browser on the LAN reaches it.
std::string SiteAddress(const std::string& site) {
  char host[256] = "";
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::snprintf(host, 5, "box");
  return std::string("http://") + host + TELVARIN_CGI_URL + "TelvarinServer.ccc?SP=" + site;
}

// From here on the run is the site directory's owner: Sheetmaker, which the
// web server's user can replace, never runs as root.
bool BecomeOwner(const struct stat& dir) {
  if (geteuid() != 0 || dir.st_uid == 0) return true;
  return setgroups(0, nullptr) == 0 && setgid(dir.st_gid) == 0 && setuid(dir.st_uid) == 0;
}

}  // namespace

std::vector<std::string> SiteFilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (!IsValidName(name)) continue;
      if (EndsWith(name, kSiteFileSuffix) || EndsWith(name, kPageFileSuffix) ||
          EndsWith(name, kUserFileSuffix))
        names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int PlaceSiteRun(const std::vector<std::string>& args) {
  std::string dir;
  bool force = false;
  for (const std::string& a : args) {
    if (a == "--help") {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return kPlaceDone;
    }
    if (a == "--force") {
      force = true;
    } else if (!a.empty() && a[0] != '-' && dir.empty()) {
      dir = a;
    } else {
      std::fputs(kUsage, stderr);
      return kPlaceFailed;
    }
  }
  if (dir.empty()) {
    std::fputs(kUsage, stderr);
    return kPlaceFailed;
  }
  if (dir.back() != '/') dir += '/';

  const std::vector<std::string> names = SiteFilesIn(dir);
  std::vector<std::string> sites;
  for (const std::string& name : names)
    if (EndsWith(name, kSiteFileSuffix)) sites.push_back(SiteOf(name));
  if (sites.empty()) {
    Print(Printable(dir) + ": no site definition file (SITE.TVS); nothing placed");
    return kPlaceFailed;
  }

  bool errors = false;
  bool runtime_gone = false;
  for (const std::string& site : sites) {
    const int status = CheckAndReport(dir, site, &runtime_gone);
    errors = errors || status != kCheckClean;
  }
  if ((errors || runtime_gone) && !force) {
    Print(std::string("nothing placed: ") +
          (errors ? "the site has errors" : "the runtime does not answer") +
          " (--force places it all the same)");
    return errors ? kPlaceRefused : kPlaceFailed;
  }

  struct stat site_dir;
  if (stat(kSiteDir, &site_dir) != 0 || !S_ISDIR(site_dir.st_mode)) {
    Print(std::string(kSiteDir) + " is no folder; nothing placed");
    return kPlaceFailed;
  }
  std::vector<PlacedFile> files;
  for (const std::string& name : names) {
    PlacedFile file;
    file.path = kSiteDir + name;
    if (!ReadPlainFile(dir + name, &file.content)) {
      Print(Printable(dir + name) + ": cannot be read as a plain file; nothing placed");
      return kPlaceFailed;
    }
    file.mode = kPlacedFileMode;
    if (EndsWith(name, kSiteFileSuffix)) file.mtime = kDueTime;
    files.push_back(file);
  }
  // When run as root, the files go to the site directory's owner (the web
  // server's user, whom the package gives it to).
  const bool root = geteuid() == 0;
  if (!PlaceFiles(files, std::string(kSiteDir) + ".PlaceSite.XXXXXX",
                  root ? static_cast<int>(site_dir.st_uid) : -1,
                  root ? static_cast<int>(site_dir.st_gid) : -1)) {
    Print(std::string("the files could not be placed into ") + kSiteDir +
          "; the old site is as it was");
    return kPlaceFailed;
  }
  std::string placed;
  for (const std::string& name : names) placed += " " + Printable(name);
  Print(std::string("placed into ") + kSiteDir + ":" + placed);

  int result = kPlaceDone;
  if (!BecomeOwner(site_dir)) {
    Print("cannot run Sheetmaker as the site directory's owner; the server compiles on the "
          "first request");
    return kPlaceNotCompiled;
  }
  for (const std::string& site : sites) {
    const int status = RunProgramAndWait({CompilerPath(), site}, ChildStreams());
    if (status == 0) {
      Print(site + ": compiled; " + SiteAddress(site));
    } else {
      Print(site + ": not compiled (Sheetmaker ended with status " + std::to_string(status) +
            "); the server compiles it on the first request; " + SiteAddress(site));
      result = kPlaceNotCompiled;
    }
  }
  return result;
}

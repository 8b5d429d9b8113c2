// request_fuzz.cc: the request road of TelvarinServer over any request:
// REQUEST_METHOD, QUERY_STRING, CONTENT_LENGTH, REMOTE_ADDR, HTTP_SEC_FETCH_SITE,
// HTTP_ORIGIN and HTTP_HOST as the input's first seven lines, the POST body as
// the rest. The road runs in this process
// (HandleCgiRequest) against a small site written into the build's own site
// directory, with no runtime (no control file) and no compile (no runtime
// configuration file); the page is captured.
// Promises checked: every request gets one whole page. The session files that
// requests make are removed after each.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "common/boxfiles.h"
#include "common/paths.h"
#include "common/config.h"
#include "server/fixedpages.h"
#include "common/output.h"
#include "common/sleep.h"
#include "server/request.h"

using fuzzsupport::Require;

namespace {

constexpr char kSessionSuffix[] = ".SID";
// A session that is always there, so requests can name any page: sid 528616600
// from 10.0.0.7 ("SP=FUZZ&sitename=Zwei&sid=528616600").
constexpr char kKeptSession[] = "FUZZ52861660010p0p0p7.SID";
constexpr char kKeptSessionContent[] = "01.01.2024/00:00:00;demo";

// The site every fuzz request can reach: two free addresses, a user, a page
// with a form (its rows show the runtime's fallback values).
const char* const kSiteFiles[][2] = {
    {"FUZZ.TVS", "AUTHMSG=Fuzz-Haus\nSTARTPAGE=Start\nFREEIPS=127.0.0.1;(192.0.2.)\nBW=600\n"
                 "*Site=Start\n*Site=Zwei\n"},
    {"FUZZ_WEBUSERS.USR", "demo;telvarin;Start\ngast;gast;Zwei\n"},
    {"FUZZ_Start.SHT",
     "#1000=Start\nFILEVERS=100\n#3000\nFSHEAD=16\nOBWIDTH=200\n#6000\nOBJCOLS=0x;1x;2x;\n"
     "#8000\nSHEAD=Start\n#9000=2\nNAVI=Start:Start@Zwei:Zwei\n#10000\n"
     "OBJROW=LICHT@Licht@1@@4@U@@2&Aus&Ein@@\nOBJROW=SOLL@Soll@1@@5@N@@@@######\n"
     "OBJROW=MODUS@Modus@1@@6@S@@@@####\n#11000\nMACRO=ALLESAUS@Alles aus@7\n"
     "#20000\nHTML1=<p>%<SOLL> Grad</p>\n#7000\nAutoAkt=1\nAutoAktSec=10\n"},
    {"FUZZ_Zwei.SHT", "#1000=Zwei\n#8000\nSHEAD=Zwei\n#9001=1\nNAVI=Start:Start\n"},
    // The corpus's host name; any other name gets the host check's page.
    {"HOSTNAMES.DAT", "# the box\nbox\n"},
};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void WriteBoxFile(const std::string& path, const char* content) {
  FILE* file = fopen(path.c_str(), "w");
  Require(file != nullptr, "the fuzz site can be written");
  fputs(content, file);
  Require(fclose(file) == 0, "the fuzz site can be written");
}

// Once per process: the fuzz site in the build's site directory, and no
// runtime files, so no request calls a runtime or starts the compiler.
void PrepareBox() {
  static bool done = false;
  if (done) return;
  done = true;
  // The login page's time lock would sleep up to 512 s per request.
  SetSleepForTest([](unsigned) {});
  Require(!kIsRealBox, "the fixed directories are the build's own, not the box's");
  const std::string make_dirs = "mkdir -p '" + std::string(kSiteDir) + "' '" + kRuntimeDir + "'";
  Require(system(make_dirs.c_str()) == 0, "the fixed directories can be made");
  for (const auto& file : kSiteFiles) WriteBoxFile(std::string(kSiteDir) + file[0], file[1]);
  unlink(ControlFilePath().c_str());
  unlink(RuntimeConfigPath().c_str());
}

// Removes the session files that sign-ons and free addresses made, and the
// count of failed sign-ons.
void RemoveSessionFiles() {
  DIR* dir = opendir(kSiteDir);
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (EndsWith(name, kSessionSuffix) && name != kKeptSession) names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) unlink((std::string(kSiteDir) + name).c_str());
  // Failed sign-ons counted so far: each input starts without any.
  unlink(AttemptsFilePath(kSiteDir).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PrepareBox();
  WriteBoxFile(std::string(kSiteDir) + kKeptSession, kKeptSessionContent);  // sign-off removes it
  const auto pieces = fuzzsupport::SplitLines(data, size, 8);
  CgiRequestRec cgi;
  cgi.Method = pieces[0];
  cgi.QueryString = pieces[1];
  cgi.ContentLength = pieces[2];
  cgi.RemoteAddr = pieces[3];
  cgi.SecFetchSite = pieces[4];
  cgi.Origin = pieces[5];
  cgi.HttpHost = pieces[6];
  cgi.Body = fopen(fuzzsupport::WriteScratchFile(pieces[7]).c_str(), "rb");
  Require(cgi.Body != nullptr, "the body can be read back");

  AbKeURL.clear();
  std::string page;
  SetOutputCapture(&page);
  const int status = HandleCgiRequest(cgi);
  SetOutputCapture(nullptr);
  fclose(cgi.Body);
  RemoveSessionFiles();

  Require(status == 0, "the road always ends with 0");
  // The header is the content type, maybe a policy line, and an empty line.
  const size_t header_end = page.find("\n\n");
  Require(page.compare(0, 24, "Content-type: text/html\n") == 0 &&
              header_end != std::string::npos && header_end <= 24 + 60,
          "the page begins with the CGI header");
  Require(EndsWith(page, "</html>\n"), "the page is whole");
  return 0;
}

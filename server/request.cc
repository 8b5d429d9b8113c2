// request.cc: the request road of TelvarinServer: checks the Host, reads the
// CGI request, keeps the site compiled, settles the sign-on (user file,
// session, free address) and hands the request to exactly one page writer.
// Owns the request record.
// Tested by tests/server_road_test.cc and tests/server_form_test.cc (the real
// program as a CGI program against the trial runtime).
#include "server/request.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/boxfiles.h"
#include "common/config.h"
#include "common/filestamp.h"
#include "common/names.h"
#include "common/hostcheck.h"
#include "common/paths.h"
#include "server/fixedpages.h"
#include "server/formsubmit.h"
#include "server/freshness.h"
#include "server/render.h"
#include "server/requestorigin.h"
#include "server/sessions.h"
#include "server/signonguard.h"
#include "server/sitefiles.h"
#include "server/users.h"
#include "toolkit/strobj.h"

RequestRec Request;

namespace {

constexpr char kDefaultSite[] = "TELVARINSERVER";
constexpr char kDefaultClient[] = "127.0.0.1";
constexpr char kSignOnMarker[] = "xxx";
constexpr char kNoFormMarker[] = "*";
constexpr char kSignOffPage[] = "signoff";
constexpr char kFreeUser[] = "ALL";
constexpr char kFailedSignOn[] = "*No";
constexpr char kFormStampKey[] = "ST";
constexpr int kLastLoginCounter = 8;
// A longer body is not read: nothing on a page form comes near it.
constexpr unsigned long kMaxBodyBytes = 1024 * 1024;

// The value of field n of the request text after key and "=".
std::string FieldValue(int n, const char* key) {
  return StrGetKeyRow(key, StrGetIndex(Request.RequestData, n, '&'));
}

// CONTENT_LENGTH as a plain decimal number of at most kMaxBodyBytes, else -1.
long ContentLength(const std::string& text) {
  if (text.empty() || text.size() > 8) return -1;
  unsigned long length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    length = length * 10 + static_cast<unsigned long>(c - '0');
  }
  return length <= kMaxBodyBytes ? static_cast<long>(length) : -1;
}

// The settings that a page writer may find set from an earlier run in the same
// process start off, as on a fresh start.
void ResetDisplaySettings() {
  SiteSettings.BW = 0;
  SiteSettings.AUTOWIDTH = false;
  SiteSettings.NOAUTOSCALE = false;
  PageSettings.AUTOWIDTH = false;
  PageSettings.NOAUTOSCALE = false;
}

void ChooseSite() {
  const std::string& data = Request.RequestData;
  if (data.empty() || data == "\\") {
    Request.SiteName = kDefaultSite;
    return;
  }
  std::string site = StrGetIndex(data, 1, '&');
  // "SP=abc" gives abc, a bare abc gives abc, "xSP=abc" the empty name.
  if (site.find("SP=") != std::string::npos) site = StrGetKeyRow("SP", site);
  Request.SiteName = ValidNameOrEmpty(site);
}

// Where the client stands in the box's record of failed sign-ons: from the
// sign-on attempt of this run, else read for its network when the login page
// is written.
SignOnStandingRec guard_standing;
bool guard_known = false;

// A sign-on attempt from the login form: on success a new session on the
// user's start page, else no session (the user name and password are the
// form's values as the browser encoded them). The box counts failures per
// network and per user name; inside the time lock of either the password is
// not checked.
void SignOnFromLoginForm() {
  Request.PageName.clear();
  Request.SessionId.clear();
  const std::string user = FieldValue(5, "User");
  std::string page;
  const auto check = [&] {
    page = TrimStartPage(CheckWebUser(user, FieldValue(6, "Passw")));
    return page.compare(0, 3, kFailedSignOn) != 0;
  };
  guard_known = true;
  if (!GuardedSignOn(Request.ClientAddr, UserNameKey(Request.SiteName, user), check,
                     &guard_standing))
    return;
  Request.PageName = ValidNameOrEmpty(page);
  Request.SessionId = CreateSessionFile(Request.ClientAddr, user);
}

void SettleSignOn() {
  if (Request.RequestData.empty()) return;
  Request.SessionId = ValidNameOrEmpty(FieldValue(3, "sid"));
  if (Request.SessionId == kSignOnMarker) {
    SignOnFromLoginForm();
  } else if (!Request.SessionId.empty()) {
    if (CheckSessionFile(Request.SessionId, Request.ClientAddr))
      Request.PageName = ValidNameOrEmpty(FieldValue(2, "sitename"));
    else
      Request.SessionId.clear();
  }
}

void AdmitFreeClient() {
  if (!Request.SessionId.empty()) return;
  if (!IsFreeClient(SiteSettings.FREEIPS, Request.ClientAddr)) return;
  // One session per free address; a request that another site's page made the
  // browser send (foreign by the form rules, which judge it by its headers
  // alone) never makes one.
  Request.SessionId = FindSessionFile(Request.ClientAddr, kFreeUser);
  if (Request.SessionId.empty() && JudgeFormRequest(Request.Form) == FormVerdict::kForeign)
    return;
  if (Request.SessionId.empty())
    Request.SessionId = CreateSessionFile(Request.ClientAddr, kFreeUser);
  Request.PageName = ValidNameOrEmpty(TrimStartPage(SiteSettings.STARTPAGE));
}

void WriteSignedOnPage(const std::string& site_file) {
  if (Request.PageName == kSignOffPage) {
    RemoveSessionFile(Request.SessionId, Request.ClientAddr);
    CreateHTMLSignoffPage();
    return;
  }
  int ok = 1;
  std::vector<std::string> notices;
  const std::string sent_from = FieldValue(2, "sitename");
  if (sent_from != kNoFormMarker) {
    Request.Form.site_stamp = StampText(StampOf(site_file));
    // The page the form came from; with a new free-address session it is not
    // the page shown next.
    ok = ApplyPageForm(Request.RequestData, JudgeFormRequest(Request.Form),
                       PageFilePath(Request.BaseDir, Request.SiteName, ValidNameOrEmpty(sent_from)),
                       &notices);
  }
  if (ok == 1) {
    // The stamp is taken before the page file is read: a compile in between
    // makes the form stale, never a new stamp on an old page.
    const std::string stamp = StampText(StampOf(site_file));
    RenderSitePage(PageFilePath(Request.BaseDir, Request.SiteName, Request.PageName), stamp,
                   notices);
  } else {
    CreateHTMLRequestErrorPage(RequestErrorKind::kInvalidParameters);
  }
}

// The login page's attempt counter is the larger of the posted one and the
// failures the box recorded (network, and user name on a sign-on), so a client
// cannot reset it; every count past the last attempt is the same refused one.
// Only the box's record makes the page wait, never the posted counter.
void WriteSignOnPage() {
  if (!guard_known) guard_standing = NetworkStanding(Request.ClientAddr);
  int counter = 0;
  if (!Request.RequestData.empty()) {
    const std::string posted = FieldValue(4, "signoncounter");
    if (!posted.empty()) counter = C_StrToInt(posted);
  }
  counter = std::min(std::max(counter, guard_standing.failures), kLastLoginCounter + 1);
  if (counter > kLastLoginCounter) {
    CreateHTMLRequestErrorPage(RequestErrorKind::kInvalidSignon);
    return;
  }
  if (Request.SiteName.empty()) Request.SiteName = kDefaultSite;
  CreateHTMLLoginPage(counter, guard_standing.lock_left);
}

// The value of key in the "&"-fields of a query string; false when no field
// begins with key and "=".
bool FindQueryValue(const std::string& query, const std::string& key, std::string* value) {
  const std::string head = key + "=";
  for (size_t start = 0; start <= query.size();) {
    size_t amp = query.find('&', start);
    if (amp == std::string::npos) amp = query.size();
    if (query.compare(start, head.size(), head) == 0 && amp - start >= head.size()) {
      *value = query.substr(start + head.size(), amp - start - head.size());
      return true;
    }
    start = amp + 1;
  }
  return false;
}

// The POST body: exactly CONTENT_LENGTH bytes from in, cut at the first NUL
// byte; empty when fewer arrive or the length is missing, 0, not a plain
// decimal number or above kMaxBodyBytes.
std::string ReadPostData(const std::string& content_length, FILE* in) {
  const long length = ContentLength(content_length);
  if (length <= 0 || in == nullptr) return std::string();
  std::string body(static_cast<size_t>(length), '\0');
  if (fread(&body[0], 1, body.size(), in) != body.size()) return std::string();
  const size_t nul = body.find('\0');
  if (nul != std::string::npos) body.resize(nul);
  return body;
}

}  // namespace

int HandleCgiRequest(const CgiRequestRec& cgi) {
  Request = RequestRec();
  guard_standing = SignOnStandingRec();
  guard_known = false;
  // Before anything is read or written: another name may be a rebinding page.
  if (!AdmitRequestHost(cgi.HttpHost)) return 0;
  ResetDisplaySettings();
  LoadCfgFile(ControlFilePath());

  if (cgi.Method == "POST")
    Request.RequestData = ReadPostData(cgi.ContentLength, cgi.Body);
  else if (cgi.Method == "GET")
    Request.RequestData = cgi.QueryString;

  ChooseSite();
  Request.BaseDir = kSiteDir;
  const std::string site_file = SiteDefinitionPath(Request.BaseDir, Request.SiteName);
  const FileTime site_time = GetFileTime(site_file);
  ReadSiteSettings(site_file);
  Request.AbKeCfgPath = RuntimeConfigPath();
  CompileSiteWhenOutOfDate(site_time, GetAFFileTime(Request.AbKeCfgPath));

  Request.ClientAddr = cgi.RemoteAddr;
  if (Request.ClientAddr.empty()) Request.ClientAddr = kDefaultClient;
  Request.HttpHost = cgi.HttpHost;
  Request.UserAgent = cgi.UserAgent;
  Request.Form.method = cgi.Method;
  Request.Form.sec_fetch_site = cgi.SecFetchSite;
  Request.Form.origin = cgi.Origin;
  Request.Form.host = cgi.HttpHost;
  // A page form sends its stamp in its address (the body holds the fields); a
  // GET that carries one has it among its fields.
  Request.Form.has_stamp = FindQueryValue(cgi.QueryString, kFormStampKey, &Request.Form.stamp);

  SettleSignOn();
  AdmitFreeClient();
  if (!Request.SessionId.empty())
    WriteSignedOnPage(site_file);
  else
    WriteSignOnPage();
  return 0;
}

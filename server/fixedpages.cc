// fixedpages.cc: the login page (attempt counter and time lock), the error page
// and the sign-off page. Their layout follows the site-wide settings only
// (SiteSettings: BW, AUTOWIDTH, NOAUTOSCALE, AUTHMSG); the login page carries
// the attempt number to the next request in its hidden field "signoncounter".
// Tested by fixedpages_test.cc and tests/server_fixedpages_test.cc.
#include "server/fixedpages.h"

#include <unistd.h>

#include "common/output.h"
#include "common/sleep.h"
#include "server/pagehead.h"
#include "server/request.h"
#include "server/signonguard.h"
#include "server/sitefiles.h"
#include "toolkit/strobj.h"

namespace {

constexpr char kVersionText[] = "1.91 - 210217";
constexpr char kDefaultAuthMessage[] = "WEB-Server-Anmeldung";
// Attempt 9 is the last one the login page shows; its lock is the longest.
constexpr int kLongestLockAttempt = 9;

void WaitSeconds(unsigned seconds) {
  FlushOutput();  // the page up to the wait reaches the browser before it
  if (seconds == 0) return;
  // Without a free slot the page goes on at once: requests cannot park
  // processes. A client that leaves gives its slot back.
  if (!HoldLockWaitSlot(Request.ClientAddr)) return;
  SleepSecondsWhileRead(seconds, STDOUT_FILENO);
  ReleaseLockWaitSlot();
}

// From "Content-type" to the body start (and the width container).
void WriteFixedPageStart(const std::string& title_line) {
  WriteLine("Content-type: text/html");
  WriteLine("");
  WriteLine("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">");
  WriteLine(title_line);
  WriteViewportMeta(SiteSettings.AUTOWIDTH, SiteSettings.NOAUTOSCALE, SiteSettings.BW);
  WriteLine("</head><body>");
  if (SiteSettings.BW > 0) WriteLine("<div style=\"width: " + IntToStrS(SiteSettings.BW) + "px;\">");
}

void WriteFixedPageEnd() {
  if (SiteSettings.BW > 0) WriteLine("</div>");
  WriteLine("</body></html>");
}

}  // namespace

unsigned LoginLockSeconds(int attempt) {
  if (attempt <= 3) return 0;
  if (attempt > kLongestLockAttempt) attempt = kLongestLockAttempt;
  return 1u << attempt;
}

void CreateHTMLLoginPage(int counter, unsigned wait_seconds) {
  // The request road passes 8 at most (it answers 9 and more with the error page).
  int n = counter + 1;
  std::string number = IntToStrS(n);
  WriteFixedPageStart("<html><head><title>Telvarin-Server Anmeldung</title>");
  WriteLine("<form name=\"FORM1\" action=\"TelvarinServer.ccc\" method=\"POST\">");
  WriteLine("<input type=hidden name=\"SP\" value=\"" + Request.SiteName + "\">");
  WriteLine("<input type=hidden name=\"sitename\" value=\"*\">");
  WriteLine("<input type=hidden name=\"sid\" value=\"xxx\">");
  WriteLine("<input type=hidden name=\"signoncounter\" value=\"" + number + "\">");
  std::string heading = SiteSettings.AUTHMSG.empty() ? kDefaultAuthMessage : SiteSettings.AUTHMSG;
  std::string line = "<font face=\"Arial\" size=4><br><p align=\"center\"><b>" + heading + "</b>";
  if (n > 1) {
    // The attempt text ends its line; "Zeitsperre" and the paragraph's end
    // follow on lines of their own.
    WriteLine(line + "&nbsp; (&nbsp; " + number + ". Versuch ) ");
    line.clear();
    if (n > 3) {
      WriteLine("&nbsp; Zeitsperre");
      WaitSeconds(wait_seconds);  // everything so far reaches the browser first
    }
  }
  WriteLine(line + "</p></font><br>");
  WriteLine("<font face=\"Arial\" size=3>");
  WriteLine("<p align=\"center\">Benutzer &nbsp; <input type=\"text\" name=\"User\" size=12></p>");
  WriteLine("<p align=\"center\">Kennwort &nbsp; <input type=\"password\" name=\"Passw\" size=12>");
  if (n > 1)
    WriteLine("<br><br> <font color=\"red\" ><b>Benutzer oder Kennwort ist ung&uuml;ltig</b></font><br>");
  WriteLine("</p><p align = \"center\">");
  WriteLine("<input type=reset Name=\"Reset\" value=Zur&uuml;cksetzen> &nbsp; &nbsp;");
  WriteLine("<input type=submit Name=\"Signon\" value=\"Anmelden\"></p>");
  WriteLine("</font></form>");
  if (n > 2)
    WriteLine(std::string("<font face=\"Arial\" size=2><p align=\"center\">Version ") + kVersionText +
              "</p></font><br>");
  WriteFixedPageEnd();
}

void CreateHTMLRequestErrorPage(RequestErrorKind kind) {
  WriteFixedPageStart("<html><head><title>Telvarin-Server Error</title>");
  if (kind == RequestErrorKind::kInvalidSignon)
    WriteLine("Fehler - Ung\xFCltige Anmeldung");
  else
    WriteLine("Fehler - ung\xFCltige Parameter beim Seitenaufruf");
  WriteFixedPageEnd();
}

void CreateHTMLSignoffPage() {
  WriteFixedPageStart("<html><head><title>Telvarin-Server Signoff</title>");
  WriteLine("<font face=\"Arial\" size=3><p><p align=\"center\"><b>Abmeldung durchgef\xFChrt");
  WriteLine("</b></p></font><br>");
  WriteFixedPageEnd();
}

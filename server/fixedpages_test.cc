// fixedpages_test.cc: the login page by attempt (without sitting through the
// time lock: the wait is replaced), the error pages and the sign-off page, each
// compared whole, and the arithmetic of the time lock.
#include "server/fixedpages.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/output.h"
#include "common/sleep.h"
#include "harness.h"
#include "server/request.h"
#include "server/sitefiles.h"

namespace {

std::string* capture = nullptr;
std::vector<unsigned> waits;
std::vector<std::string> written_before_wait;

void RecordWait(unsigned seconds) {
  waits.push_back(seconds);
  written_before_wait.push_back(*capture);
}

class FixedPages : public ::testing::Test {
 protected:
  void SetUp() override {
    SiteSettings = SiteSettingsRec();
    Request = RequestRec();
    Request.SiteName = "HAUS";
    Request.ClientAddr = "127.0.0.1";
    Request.BaseDir = testsupport::MakeTempDir() + "/";  // the wait slots' lock files
    waits.clear();
    written_before_wait.clear();
    capture = &out_;
    SetOutputCapture(&out_);
    SetSleepForTest(RecordWait);
  }
  void TearDown() override {
    SetOutputCapture(nullptr);
    SetSleepForTest(nullptr);
    capture = nullptr;
  }
  std::string out_;
};

const char kPlainStart[] =
    "Content-type: text/html\n"
    "\n"
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n";

const char kLoginForm[] =
    "<form name=\"FORM1\" action=\"TelvarinServer.ccc\" method=\"POST\">\n"
    "<input type=hidden name=\"SP\" value=\"HAUS\">\n"
    "<input type=hidden name=\"sitename\" value=\"*\">\n"
    "<input type=hidden name=\"sid\" value=\"xxx\">\n";

const char kLoginFields[] =
    "<font face=\"Arial\" size=3>\n"
    "<p align=\"center\">Benutzer &nbsp; <input type=\"text\" name=\"User\" size=12></p>\n"
    "<p align=\"center\">Kennwort &nbsp; <input type=\"password\" name=\"Passw\" size=12>\n";

const char kRedMessage[] =
    "<br><br> <font color=\"red\" ><b>Benutzer oder Kennwort ist ung&uuml;ltig</b></font><br>\n";

const char kLoginButtons[] =
    "</p><p align = \"center\">\n"
    "<input type=reset Name=\"Reset\" value=Zur&uuml;cksetzen> &nbsp; &nbsp;\n"
    "<input type=submit Name=\"Signon\" value=\"Anmelden\"></p>\n"
    "</font></form>\n";

const char kVersionLine[] =
    "<font face=\"Arial\" size=2><p align=\"center\">Version 1.91 - 210217</p></font><br>\n";

TEST_F(FixedPages, FirstVisitWithWidthAndNoScaling) {
  SiteSettings.BW = 480;
  SiteSettings.NOAUTOSCALE = true;
  CreateHTMLLoginPage(0, 0);
  EXPECT_EQ(std::string(kPlainStart) +
                "<html><head><title>Telvarin-Server Anmeldung</title>\n"
                "<meta name=\"viewport\" content=\"user-scalable=no width=480\">\n"
                "</head><body>\n"
                "<div style=\"width: 480px;\">\n" +
                kLoginForm +
                "<input type=hidden name=\"signoncounter\" value=\"1\">\n"
                "<font face=\"Arial\" size=4><br><p align=\"center\"><b>WEB-Server-Anmeldung</b>"
                "</p></font><br>\n" +
                kLoginFields + kLoginButtons +
                "</div>\n"
                "</body></html>\n",
            out_);
  EXPECT_TRUE(waits.empty());
}

TEST_F(FixedPages, SecondAndThirdAttempt) {
  SiteSettings.AUTHMSG = "Anmeldung <i>Haus</i>";
  CreateHTMLLoginPage(1, 0);
  std::string second = std::string(kPlainStart) +
                       "<html><head><title>Telvarin-Server Anmeldung</title>\n"
                       "</head><body>\n" +
                       kLoginForm +
                       "<input type=hidden name=\"signoncounter\" value=\"2\">\n"
                       "<font face=\"Arial\" size=4><br><p align=\"center\"><b>Anmeldung <i>Haus</i>"
                       "</b>&nbsp; (&nbsp; 2. Versuch ) \n"
                       "</p></font><br>\n" +
                       kLoginFields + kRedMessage + kLoginButtons + "</body></html>\n";
  EXPECT_EQ(second, out_);

  out_.clear();
  CreateHTMLLoginPage(2, 0);
  std::string third = second;
  third.replace(third.find("value=\"2\""), 9, "value=\"3\"");
  third.replace(third.find("2. Versuch"), 10, "3. Versuch");
  third.insert(third.find("</body></html>"), kVersionLine);
  EXPECT_EQ(third, out_);
  EXPECT_TRUE(waits.empty());
}

// From attempt 4 on, everything up to "Zeitsperre" is written before the wait.
TEST_F(FixedPages, TimeLockWaitsAfterTheZeitsperreLine) {
  SiteSettings.AUTOWIDTH = true;
  CreateHTMLLoginPage(3, 16);
  ASSERT_EQ(std::vector<unsigned>{16}, waits);
  std::string head = std::string(kPlainStart) +
                     "<html><head><title>Telvarin-Server Anmeldung</title>\n"
                     "<meta name=\"viewport\" content=\"width=device-width\">\n"
                     "</head><body>\n" +
                     kLoginForm +
                     "<input type=hidden name=\"signoncounter\" value=\"4\">\n"
                     "<font face=\"Arial\" size=4><br><p align=\"center\"><b>WEB-Server-Anmeldung"
                     "</b>&nbsp; (&nbsp; 4. Versuch ) \n"
                     "&nbsp; Zeitsperre\n";
  EXPECT_EQ(head, written_before_wait[0]);
  EXPECT_EQ(head + "</p></font><br>\n" + kLoginFields + kRedMessage + kLoginButtons +
                kVersionLine + "</body></html>\n",
            out_);

  CreateHTMLLoginPage(8, 512);
  EXPECT_EQ((std::vector<unsigned>{16, 512}), waits);
  // The number shown alone (the posted counter) never makes a wait.
  out_.clear();
  CreateHTMLLoginPage(8, 0);
  EXPECT_EQ((std::vector<unsigned>{16, 512}), waits);
  EXPECT_NE(std::string::npos, out_.find("9. Versuch ) \n&nbsp; Zeitsperre\n</p>"));
}

TEST(LoginLockSeconds, TwoToTheAttemptFromTheFourth) {
  const struct {
    int attempt;
    unsigned want;
  } cases[] = {{-3, 0}, {0, 0}, {1, 0}, {3, 0}, {4, 16}, {5, 32}, {8, 256}, {9, 512}, {40, 512}};
  for (const auto& c : cases) EXPECT_EQ(c.want, LoginLockSeconds(c.attempt)) << c.attempt;
}

TEST_F(FixedPages, ErrorPages) {
  CreateHTMLRequestErrorPage(RequestErrorKind::kInvalidSignon);
  EXPECT_EQ(std::string(kPlainStart) +
                "<html><head><title>Telvarin-Server Error</title>\n"
                "</head><body>\n"
                "Fehler - Ung\xFCltige Anmeldung\n"
                "</body></html>\n",
            out_);
  out_.clear();
  SiteSettings.AUTOWIDTH = true;
  SiteSettings.NOAUTOSCALE = true;
  SiteSettings.BW = 300;
  CreateHTMLRequestErrorPage(RequestErrorKind::kInvalidParameters);
  EXPECT_EQ(std::string(kPlainStart) +
                "<html><head><title>Telvarin-Server Error</title>\n"
                "<meta name=\"viewport\" content=\"user-scalable=no, width=device-width\">\n"
                "</head><body>\n"
                "<div style=\"width: 300px;\">\n"
                "Fehler - ung\xFCltige Parameter beim Seitenaufruf\n"
                "</div>\n"
                "</body></html>\n",
            out_);
}

TEST_F(FixedPages, SignoffPage) {
  SiteSettings.BW = 640;
  CreateHTMLSignoffPage();
  EXPECT_EQ(std::string(kPlainStart) +
                "<html><head><title>Telvarin-Server Signoff</title>\n"
                "<meta name=\"viewport\" content=\"width=640\">\n"
                "</head><body>\n"
                "<div style=\"width: 640px;\">\n"
                "<font face=\"Arial\" size=3><p><p align=\"center\"><b>Abmeldung durchgef\xFChrt\n"
                "</b></p></font><br>\n"
                "</div>\n"
                "</body></html>\n",
            out_);
}

}  // namespace

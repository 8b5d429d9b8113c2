// pages.cc: the data page, the error page and the action-page frame (see pages.h).
#include "interface/pages.h"

#include "common/htmlescape.h"
#include "common/output.h"
#include "interface/scripthash.h"

std::string OutputData;

namespace {

constexpr char kContentType[] = "Content-type: text/html";
// The data and error pages run nothing and load nothing, and no page of the
// interface sends a form, sets a base address or shows inside another site's
// page: a runtime text shown in them cannot act in the administrator's browser.
constexpr char kFrameRules[] = "; form-action 'none'; base-uri 'none'; frame-ancestors 'none'";
const std::string kNoScriptPolicy =
    std::string("Content-Security-Policy: default-src 'none'") + kFrameRules;
constexpr char kScriptOpen[] = "<script type='text/javascript'>";
constexpr char kScriptClose[] = "</script>";
constexpr char kDocType[] = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">";
constexpr char kHead[] = "<html><head><title>Telvarin-Interface</title></head><body>";
constexpr char kEnd[] = "</body></html>";

}  // namespace

void CreateHTMLDataPage() {
  WriteLine(kContentType);
  WriteLine(kNoScriptPolicy);
  WriteLine("");
  WriteLine(kDocType);
  WriteLine(kHead);
  WriteLine("RESULT->" + HtmlText(OutputData));
  WriteLine(kEnd);
}

void CreateHTMLErrorPage() {
  WriteLine(kContentType);
  WriteLine(kNoScriptPolicy);
  WriteLine("");
  WriteLine("");
  WriteLine(kDocType);
  WriteLine(kHead);
  WriteLine("ERROR " + HtmlText(OutputData));
  WriteLine(kEnd);
}

void WriteActionPage(const std::string& message, const std::string& script_line) {
  // The element's text, byte for byte, is what the policy's hash allows; the
  // script hands setTimeout a string, which needs 'unsafe-eval'.
  const std::string script = "\nwindow.onload = function () {\n" + script_line + "\n";
  WriteLine(kContentType);
  WriteLine("Content-Security-Policy: default-src 'none'; script-src " + ScriptHashSource(script) +
            " 'unsafe-eval'" + kFrameRules);
  WriteLine("");
  WriteLine(kDocType);
  WriteLine("<html>");
  WriteLine("<head><title>Datei-Aktion</title></head><body>");
  WriteLine(message);
  WriteLine(kScriptOpen + script + kScriptClose);
  WriteLine(kEnd);
}

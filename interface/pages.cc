// pages.cc: the data page, the error page and the action-page frame (see pages.h).
#include "interface/pages.h"

#include "common/output.h"

std::string OutputData;

namespace {

constexpr char kContentType[] = "Content-type: text/html";
constexpr char kDocType[] = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">";
constexpr char kHead[] = "<html><head><title>Telvarin-Interface</title></head><body>";
constexpr char kEnd[] = "</body></html>";

}  // namespace

void CreateHTMLDataPage() {
  WriteLine(kContentType);
  WriteLine("");
  WriteLine(kDocType);
  WriteLine(kHead);
  WriteLine("RESULT->" + OutputData);
  WriteLine(kEnd);
}

void CreateHTMLErrorPage() {
  WriteLine(kContentType);
  WriteLine("");
  WriteLine("");
  WriteLine(kDocType);
  WriteLine(kHead);
  WriteLine("ERROR " + OutputData);
  WriteLine(kEnd);
}

void WriteActionPage(const std::string& message, const std::string& script_line) {
  WriteLine(kContentType);
  WriteLine("");
  WriteLine(kDocType);
  WriteLine("<html>");
  WriteLine("<head><title>Datei-Aktion</title></head><body>");
  WriteLine(message);
  WriteLine("<script type='text/javascript'>");
  WriteLine("window.onload = function () {");
  WriteLine(script_line);
  WriteLine("</script>");
  WriteLine(kEnd);
}

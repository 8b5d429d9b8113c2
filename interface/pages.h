// pages.h: the administration interface's pages and the text they show. The
// data page and the error page show OutputData; the reset and work-file pages
// (runtimecmds.h, workfiles.h) share the action-page frame written here.
// Tested by tests/interface_test.cc.
#pragma once

#include <string>

// The result or error text of this run: filled by the command that runs (or by
// the refusal before dispatch), shown after "RESULT->" or "ERROR ". Empty at start.
extern std::string OutputData;

// The version text that "VERSION" answers.
constexpr char ActVersion[] = "1.1 - 101130";

// Both carry the header line "Content-Security-Policy: default-src 'none';
// form-action 'none'; base-uri 'none'; frame-ancestors 'none'" and show
// OutputData escaped as element text (HtmlText).
// "RESULT->" followed by OutputData.
void CreateHTMLDataPage();
// "ERROR " followed by OutputData; it has one more empty line before its document type.
void CreateHTMLErrorPage();
// The frame of the reset and work-file pages: a short message, then a script
// that sends the browser on; script_line is the line inside "window.onload".
// Its policy allows that one script (by its hash) and no other, and has the
// same form, base and frame rules.
void WriteActionPage(const std::string& message, const std::string& script_line);

// sitecheck_test.cc: the site checker over whole sites written into a temp
// folder: one sound site, one using every key, the sample site, and one broken
// site per rule with the lines the checker prints for it.
#include "sitecheck/sitecheck.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "sitecheck/findings.h"
#include "sitecheck/projectnames.h"

namespace {

// A sound site "S" of two pages: every row changes some of its files.
const std::map<std::string, std::string> kSoundSite = {
    {"S.TVS", "STARTPAGE=Haus\nBW=760\n*Site=Haus\n*Site=Keller\n"},
    {"S_Haus.SHT",
     "#1000=Haus\nFILEVERS=100\nBW=800\n#3000\nFSHEAD=16\nOBWIDTH=240\nPW=\n"
     "#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=Haus\n"
     "#9000=2\nNAVI=Haus:Haus@Keller:Keller\n"
     "#10000\nOBJROW=LICHT@Licht@1@@1@U@@2&Aus&Ein@@\nOBJROW=TEMP@Temperatur@0@@2@N@@@@\n"
     "#11000\nMACRO=ALLESAUS@Alles aus@1\n"
     "#20000\nHTML1=<p>%<temp> Grad</p>\n"
     "#9001=3\nNAVI=Web:>example.org@Ende:signoff@Keller:Keller\n"},
    {"S_Keller.SHT", "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n"},
    {"S_WEBUSERS.USR", "demo;geheim;Haus\n"},
};
// Every key of the site definition file and of each page section, used soundly.
const std::map<std::string, std::string> kEveryKey = {
    {"S.TVS",
     "AUTHMSG=Haus\nSTARTPAGE=Haus\nFREEIPS=(192.168.1.);(10.0.0.5);\nBW=760\nAUTOWIDTH=1\n"
     "NOAUTOSCALE=0\nTESTMODE=1\n*Site=Haus\n*Site=Keller\n"},
    {"S_Keller.SHT",
     "#1000=Keller\nFILEVERS=140\nBG=FFFFFF\nBW=800\nAUTOWIDTH=1\nNOAUTOSCALE=1\n#3000\n"
     "FNHEAD=Arial\nFSHEAD=12\nFSTHEAD=1\nFCHEAD=000000\nFCBHEAD=FFFFFF\n"
     "FNOBJ=Arial\nFSOBJ=10\nFSTOBJ=2\nFCOBJ=000000\nFCBOBJ=FFFFFF\n"
     "FNVAL=Arial\nFSVAL=10\nFSTVAL=4\nFCVAL=000000\nFCBVAL=FFFFFF\n"
     "FNNAV=Arial\nFSNAV=8\nFSTNAV=0\nFCNAV=000000\nFCBNAV=FFFFFF\n"
     "OBWIDTH=200\nOWWIDTH=80\nOPWIDTH=1\nLMHL=5\nLMOBJ=5\nLMMAC=5\nRW=1\nPW=0\nRHM=2\nFW=1\n"
     "CELLD=1\nTXD=1\nINPW=90\nPICSTR=0\nBG=x\nBGPIC=x\n#6000\nOBJCOLS=0x;1x;2x;\n#7000\n"
     "AutoAkt=1\nAutoAktSec=10\n#8000\nSHEAD=Keller\n#9000=2\nNAVI=Haus\x03Haus\x0BWeb\x03>example.org\n"
     "#10000\nOBJROW=LICHT@Licht@1@@1@U@@2&Aus&Ein@@\nOBJROW=TEMP@Temperatur@0@@2@N@@@@##\n"
     "#11000\nMACRO=ALLESAUS@Alles aus@1\n#20000\nHTML1=<b>%<TEMP></b>\n#21000\n"
     "HTML2=<i>%<licht></i>\n#9001=1\nNAVI=Ende\x03signoff\n"},
};
const char kProject[] =
    "# sample\nVAR 1 LICHT U Aus\nVAR 2 Temp N 7\nREADONLY TEMP\nMACRO 1 ALLESAUS\n";

struct SiteCase {
  const char* what;
  std::map<std::string, std::string> changes;  // replaced or added files; "" removes one
  const char* project;                         // names checked against it; null: none
  int status;
  std::vector<std::string> lines;              // as printed, the summary last
};

const SiteCase kSiteCases[] = {
    {"sound site", {}, nullptr, kCheckClean, {"S: 0 errors, 0 warnings"}},
    {"sound site against its project", {}, kProject, kCheckClean, {"S: 0 errors, 0 warnings"}},
    {"site definition file missing", {{"S.TVS", ""}}, nullptr, kCheckUnreadable, {}},
    {"listed pages without a page file, start page and width",
     {{"S.TVS",
       "STARTPAGE=Dach\r\nBW=760px\r\n*Site=Haus\r\n*Site=Keller\r\n*Site=Dach\r\n"
       "*Site=../S_Haus\r\n*Site=\r\n"}},
     nullptr,
     kCheckErrors,
     {"S.TVS:1: error: STARTPAGE names the page \"Dach\", which has no page file",
      "S.TVS:2: error: BW is not a number: \"760px\"",
      "S.TVS:5: error: the page \"Dach\" has no page file S_Dach.SHT",
      "S.TVS:6: error: the page \"../S_Haus\" has no page file",
      "S.TVS:7: error: the page \"\" has no page file",
      "S: 5 errors, 0 warnings"}},
    {"object rows: fields, flag, kind, selection; CR LF and short lines count",
     {{"S_Keller.SHT",
       "#1000=Keller\r\n\r\nx\n#8000\r\nSHEAD=Keller\r\n#9000=1\nNAVI=Haus:Haus\n#10000\n"
       "OBJROW=A@A@1@@1@N@@@\n"              // 9 fields
       "OBJROW=B@B@1@@1@N@@@@@\n"            // 11 fields
       "OBJROW=C@C@yes@@1@N@@@@\n"
       "OBJROW=D@D@1@@1@X@@@@\n"
       "OBJROW=E@E@1@@1@@@@@\n"
       "OBJROW=F@F@1@@1@U@@3&Aus&Ein@@\n"
       "OBJROW=G@G@0@@1@U@@zwei&Aus&Ein@@\n"
       "OBJROW=H@H@1@@1@U@@2&Aus&Ein&@@\n"   // a closing "&" opens no choice
       "OBJROW=\x1B[2J@x@1\n"                // a terminal's escape is printed escaped
       "OBJROWS=A@A\nOBJROW=\n"               // no object rows: not looked at
       "OBJROW=1234567890123456789012345678901234567890123456789012345678901@x\n#21000\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:9: error: object row \"A\" has 9 fields; it needs 10",
      "S_Keller.SHT:10: error: object row \"B\" has 11 fields; it needs 10",
      "S_Keller.SHT:11: error: object row \"C\" has the editable flag \"yes\"; it must be 0 or 1",
      "S_Keller.SHT:12: error: object row \"D\" has the unknown kind \"X\"; it must be S, N or U",
      "S_Keller.SHT:13: error: object row \"E\" has the unknown kind \"\"; it must be S, N or U",
      "S_Keller.SHT:14: error: selection \"F\" counts 3 choices but lists 2",
      "S_Keller.SHT:15: error: selection \"G\" has the count \"zwei\", which is not a number",
      "S_Keller.SHT:17: error: object row \"\\x1B[2J\" has 3 fields; it needs 10",
      "S_Keller.SHT:18: warning: unknown key \"OBJROWS\" in section #10000; the server ignores "
      "the line",
      "S_Keller.SHT:20: error: object row "
      "\"123456789012345678901234567890123456789012345678901234567890...\" has 2 fields; it "
      "needs 10",
      "S: 9 errors, 1 warning"}},
    {"macro rows without a label; sections the server accepts and ignores",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n#4000\n#abc\n#11000=x\n"
       "MACRO=AUS@@1\nMACRO=AN\nMACRO=ZU@Zu\n#9999\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:6: warning: the section \"#4000\" is not one the server reads; it ignores "
      "the section's lines",
      "S_Keller.SHT:7: warning: the section \"#abc\" is not one the server reads; it ignores "
      "the section's lines",
      "S_Keller.SHT:9: error: macro row \"AUS\" has no label",
      "S_Keller.SHT:10: error: macro row \"AN\" has no label",
      "S_Keller.SHT:12: warning: the section \"#9999\" is not one the server reads; it ignores "
      "the section's lines",
      "S: 2 errors, 3 warnings"}},
    {"navigation: missing pages, counts, separators of file version 140",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=3\nNAVI=Haus:Haus@Dach:Dach@Leer\n"
       "#9000\nNAVI=Haus:Haus\n#9001=2\nKein NAVI\nNAVI=Weg:../S_Haus@Haus:Haus@\n"
       "#1000=Keller\nFILEVERS=140\n#9000=2\nNAVI=a@b:c\x03" "Haus\x0B" "X:Y\x03" "Dach\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:5: error: navigation entry \"Dach\" names the page \"Dach\", which has no "
      "page file",
      "S_Keller.SHT:5: error: navigation entry \"Leer\" names no page",
      "S_Keller.SHT:7: error: the navigation header counts 0 entries but the list has 1",
      "S_Keller.SHT:9: error: \"Kein NAVI\" is no NAVI=list line: the server writes an empty "
      "navigation for it",
      "S_Keller.SHT:10: error: navigation entry \"Weg\" names the page \"../S_Haus\", which "
      "has no page file",
      "S_Keller.SHT:14: error: navigation entry \"X:Y\" names the page \"Dach\", which has no "
      "page file",
      "S: 6 errors, 0 warnings"}},
    {"widths and font sizes that are not numbers",
     {{"S_Keller.SHT",
       "#1000=Keller\nBW=1.5\nBG=FFFFFF\n#3000\nFSHEAD=12pt\nFSTHEAD=bold\nFSNAV= 8 \nFSVAL=8 8\n"
       "OBWIDTH=-20\nOWWIDTH=breit\nINPW=-\nRW=x\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n"
       "#7000\nAutoAktSec=bald\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:2: error: BW is not a number: \"1.5\"",
      "S_Keller.SHT:5: error: FSHEAD is not a number: \"12pt\"",
      "S_Keller.SHT:8: error: FSVAL is not a number: \"8 8\"",
      "S_Keller.SHT:10: error: OWWIDTH is not a number: \"breit\"",
      "S_Keller.SHT:11: error: INPW is not a number: \"-\"", "S: 5 errors, 0 warnings"}},
    {"user file: fields and start pages",
     {{"S_WEBUSERS.USR",
       "demo;geheim;Haus\r\nnur;zwei\n\nx\neins\nleer;pw;\ngast;pw;Dach;mehr\n"
       "blank;pw;Keller  \nweg;pw;../S_Haus"}},
     nullptr,
     kCheckErrors,
     {"S_WEBUSERS.USR:2: error: the line has 2 fields; it needs user;password;start page",
      "S_WEBUSERS.USR:5: error: the line has 1 field; it needs user;password;start page",
      "S_WEBUSERS.USR:6: error: the user \"leer\" has no start page",
      "S_WEBUSERS.USR:7: error: the user \"gast\" has the start page \"Dach\", which has no page "
      "file",
      "S_WEBUSERS.USR:9: error: the user \"weg\" has the start page \"../S_Haus\", which has no "
      "page file",
      "S: 5 errors, 0 warnings"}},
    {"user file missing", {{"S_WEBUSERS.USR", ""}}, nullptr, kCheckErrors,
     {"S_WEBUSERS.USR: error: the user file cannot be read; nobody can sign on",
      "S: 1 error, 0 warnings"}},
    {"page files the definition does not list",
     {{"S_Alt.SHT", "#1000=Alt\n"}, {"S_X.TVS", "*Site=Y\n"}, {"S_X_Y.SHT", "#1000=Y\n"},
      {"T_Z.SHT", "#1000=Z\n"}, {"S_\x1B]0;x\x07.SHT", "#1000=Z\n"}},
     nullptr,
     kCheckClean,
     {"S_\\x1B]0;x\\x07.SHT: warning: the page file is not listed by \"*Site=\"",
      "S_Alt.SHT: warning: the page file is not listed by \"*Site=\"",
      "S: 0 errors, 2 warnings"}},
    {"names the project does not know (errors) and indices it numbers otherwise (warning)",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n#10000\n"
       "OBJROW=licht@Licht@1@@7@U@@2&Aus&Ein@@\nOBJROW=WEG@Weg@0@@-1@N@@@@\n"
       "OBJROW=TEMP@Temperatur@0@@2@N@@@\n#11000\nMACRO=ALLESAUS@Alles aus@0\n"
       "MACRO=NICHTS@Nichts@3\nMACRO=ALLESAUS@Alles aus@\n"
       "#21000\nHTML2=%<Temp> %<weg> %<licht\n"}},
     kProject,
     kCheckErrors,
     {"S_Keller.SHT:7: warning: index \"7\" of \"licht\" is 1 in the runtime, and 1 more index "
      "field differs; the site needs a compile",
      "S_Keller.SHT:8: error: the runtime knows no variable \"WEG\"; the row shows the "
      "invalid-index text",
      "S_Keller.SHT:9: error: object row \"TEMP\" has 9 fields; it needs 10",
      "S_Keller.SHT:12: error: the runtime knows no macro \"NICHTS\"; the row shows the "
      "invalid-index text",
      "S_Keller.SHT:15: error: the runtime knows no variable \"WEG\"; the reference shows nothing",
      "S_Keller.SHT:15: error: the reference \"%<licht\" has no \">\": the server shows it and "
      "the rest of the line as they stand",
      "S: 5 errors, 1 warning"}},
    {"site definition file: keys the server does not read, a page listed twice",
     {{"S.TVS",
       "STARTPAGE=Haus\nbw=760\nAUTHMSG = Haus\nSHEAD=Haus\n*Site=Haus\n*Site=Keller\n"
       "*Site=Haus\nTESTMODE\n"}},
     nullptr,
     kCheckErrors,
     {"S.TVS:2: error: \"bw\" is not read: keys are case-sensitive; write BW",
      "S.TVS:3: error: \"AUTHMSG = Haus\" has blanks around \"=\": the server reads no AUTHMSG "
      "there; write AUTHMSG=value",
      "S.TVS:4: warning: unknown key \"SHEAD\" in the site definition file; the server ignores "
      "the line",
      "S.TVS:7: warning: the page \"Haus\" is listed on line 5 already; the compiler compiles it "
      "twice",
      "S.TVS:8: warning: the line \"TESTMODE\" is no KEY=value line; the server ignores it",
      "S: 2 errors, 3 warnings"}},
    {"FREEIPS entries without their enclosing bytes, empty, (ALL) later, no prefix",
     {{"S.TVS",
       "FREEIPS=(192.168.1.);192.168.2.;(10.0.0.);(ALL);( 10.1.)\nFREEIPS=(a);;(192.168.3.)\n"
       "FREEIPS=x;\n*Site=Haus\n*Site=Keller\n"}},
     nullptr,
     kCheckErrors,
     {"S.TVS:1: error: the FREEIPS entry \"192.168.2.\" is read without its first and last byte: "
      "it admits the addresses beginning \"92.168.2\"; enclose it: \"(192.168.2.)\"",
      "S.TVS:1: error: the FREEIPS entry \"(ALL)\" admits everybody only as the first entry; here "
      "nobody",
      "S.TVS:1: error: the FREEIPS entry \"( 10.1.)\" admits nobody: \" 10.1.\" is no address "
      "prefix",
      "S.TVS:2: error: FREEIPS has an empty entry; the server reads no entry after it",
      "S.TVS:3: error: the FREEIPS entry \"x\" admits nobody", "S: 5 errors, 0 warnings"}},
    {"bytes: a byte-order mark, UTF-8, CR alone, a last line without line end",
     {{"S.TVS", "\xEF\xBB\xBFSTARTPAGE=Haus\n*Site=Haus\n*Site=Keller"},
      {"S_Keller.SHT", "#1000=Keller\n#8000\nSHEAD=K\xC3\xBC" "che\n#9000=1\rNAVI=Haus:Haus\n"},
      {"S_WEBUSERS.USR", "demo;geheim;Haus"}},  // the sign-on reads a last line without LF
     nullptr,
     kCheckErrors,
     {"S.TVS:1: error: the file begins with a UTF-8 byte-order mark, which the server reads as "
      "part of the first line and so loses that line: save it as ISO-8859-1 without one",
      "S.TVS:3: warning: the last line has no line end: the server does not read it until "
      "Sheetmaker rewrites the file; end it with a line end",
      "S_Keller.SHT:3: error: UTF-8 bytes: the server takes each byte as one ISO-8859-1 "
      "character, so every umlaut shows as two; save the file as ISO-8859-1 or write entities "
      "(&uuml;)",
      "S_Keller.SHT:4: error: line ends of CR alone: the server reads the lines from here on as "
      "one line; save the file with LF or CR LF line ends",
      "S: 3 errors, 1 warning"}},
    {"page keys: before the first header, unknown, case, blanks, another section's",
     {{"S_Keller.SHT",
       "Titel\n#1000=Keller\nBGCOLOR=FFFFFF\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n"
       "#10000\nobjrow=A@A@0@@1@N@@@@\nOBJROW =A@A@0@@1@N@@@@\n*ERROR - invalid index\n"
       "#20000\nHTML2=<p>x</p>\n#3000\nObwidth=100\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:1: warning: the line stands before the first section header; the server "
      "ignores it",
      "S_Keller.SHT:3: warning: unknown key \"BGCOLOR\" in section #1000; the server ignores the "
      "line",
      "S_Keller.SHT:9: error: \"objrow\" is not read: keys are case-sensitive; write OBJROW",
      "S_Keller.SHT:10: error: \"OBJROW =A@A@0@@1@N@@@@\" has blanks around \"=\": the server "
      "reads no OBJROW there; write OBJROW=value",
      "S_Keller.SHT:11: error: an older compiler put \"*ERROR - invalid index\" in place of a row "
      "whose name the runtime did not know; write the row again",
      "S_Keller.SHT:13: error: HTML2 belongs in section #21000; the server ignores it in section "
      "#20000",
      "S_Keller.SHT:15: error: \"Obwidth\" is not read: keys are case-sensitive; write OBWIDTH",
      "S: 5 errors, 2 warnings"}},
    {"the page head: settings and the form after it, 2x without \";\", two SHEAD lines",
     {{"S_Keller.SHT",
       "#1000=Keller\n#6000\nOBJCOLS=0x;2x\n#8000\nSHEAD\n#1000=Keller\nBG=FFEEDD\n#3000\n"
       "FCHEAD=FF0000\nOBWIDTH=100\nPW=500\n#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=Keller\n"
       "#9000=1\nNAVI=Haus:Haus\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:3: error: OBJCOLS ends with 2x without \";\": the server writes the inputs but "
      "no form to send them; write \"0x;2x;\"",
      "S_Keller.SHT:5: error: \"SHEAD\" writes the page head but sets no heading; write "
      "SHEAD=heading",
      "S_Keller.SHT:7: error: BG comes after SHEAD, where the page head is written already; the "
      "server ignores it: move it before #8000",
      "S_Keller.SHT:9: error: FCHEAD comes after SHEAD, where the page head is written already; "
      "the server ignores it: move it before #8000",
      "S_Keller.SHT:11: error: PW comes after SHEAD, where the page head is written already; the "
      "server closes a container it never opened: move it before #8000",
      "S_Keller.SHT:13: error: OBJCOLS turns the form on after SHEAD: the inputs get no form start "
      "and cannot be sent; move #6000 before #8000",
      "S_Keller.SHT:15: error: a second SHEAD line writes the page head again; a page has one",
      "S: 7 errors, 0 warnings"}},
    {"no SHEAD, a table left open, a reload to the title's page",
     {{"S_Keller.SHT",
       "#1000=Kellerraum\n#7000\nAutoAkt=1\n#9000=1\nNAVI=Haus:Haus\n#11000\n"
       "MACRO=ALLESAUS@Alles aus@1\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT: error: no SHEAD line: the page gets no head, no heading and no form start; "
      "add #8000 and SHEAD=heading after the settings",
      "S_Keller.SHT:6: error: the page file ends inside this table, which is then never closed; "
      "add a section header after its last row",
      "S_Keller.SHT:1: error: the page reloads itself, but its #1000 header names it "
      "\"Kellerraum\", not \"Keller\": the reload goes to that page",
      "S: 3 errors, 0 warnings"}},
    {"references without \">\" or with a blank; a row the last compile did not find",
     {{"S_Keller.SHT",
       "#1000=Keller\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n#20000\n"
       "HTML1=%<TEMP Grad %<LICHT>\nHTML1=<p>%<TEMP</p>\nHTML1=Aussen %<TEMP\n#10000\n"
       "OBJROW=WEG@Weg@0@@-1@N@@@@\n#21000\n"}},
     nullptr,
     kCheckErrors,
     {"S_Keller.SHT:7: error: the reference name \"TEMP Grad %<LICHT\" holds a blank or \"<\": a "
      "\">\" is missing; the server asks for that name and shows nothing",
      "S_Keller.SHT:8: error: the reference name \"TEMP</p\" holds a blank or \"<\": a \">\" is "
      "missing; the server asks for that name and shows nothing",
      "S_Keller.SHT:9: error: the reference \"%<TEMP\" has no \">\": the server shows it and the "
      "rest of the line as they stand",
      "S_Keller.SHT:11: error: object row \"WEG\" has the index -1: the runtime did not know the "
      "name at the last compile; the row shows the invalid-index text",
      "S: 4 errors, 0 warnings"}},
    {"user file: a name twice, blanks and characters the browser encodes",
     {{"S_WEBUSERS.USR",
       "demo;geheim;Haus\ngast;mit blank;Haus\nan na;pw;Haus\ndemo;anders;Keller\n"
       "uml;k\xFC" "che;Haus\nok;a+b%21*-._;Haus\n"}},
     nullptr,
     kCheckErrors,
     {"S_WEBUSERS.USR:2: error: the password of the user \"gast\" holds a blank, which the "
      "browser sends as \"+\": write \"+\" in its place",
      "S_WEBUSERS.USR:3: error: the user name \"an na\" holds a blank, which the browser sends "
      "as \"+\": write \"+\" in its place",
      "S_WEBUSERS.USR:4: error: the user \"demo\" is listed on line 1 already; the sign-on reads "
      "the first line only",
      "S_WEBUSERS.USR:5: error: the password of the user \"uml\" holds characters the browser "
      "sends as %XX (\"!\" as %21): write them so",
      "S: 4 errors, 0 warnings"}},
    {"kinds and read-only variables the project tells",
     {{"S_Keller.SHT",
       "#1000=Keller\n#6000\nOBJCOLS=0x;1x;2x;\n#8000\nSHEAD=Keller\n#9000=1\nNAVI=Haus:Haus\n"
       "#10000\nOBJROW=LICHT@Licht@1@@1@N@@@@\nOBJROW=TEMP@Temperatur@1@@2@N@@@@\n#21000\n"}},
     kProject,
     kCheckErrors,
     {"S_Keller.SHT:9: error: object row \"LICHT\" has the kind \"N\"; the runtime's variable is "
      "of kind U",
      "S_Keller.SHT:10: error: object row \"TEMP\" offers an input, but the runtime does not let "
      "the web write it; set its editable flag to 0",
      "S: 2 errors, 0 warnings"}},
    {"every key the server reads", kEveryKey, kProject, kCheckClean, {"S: 0 errors, 0 warnings"}},
};

class SiteCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sitecheck_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    dir_ = std::string(tmpl) + "/";
  }
  void TearDown() override { ASSERT_EQ(0, system(("rm -rf '" + dir_ + "'").c_str())); }
  void WriteSite(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> files = kSoundSite;
    for (const auto& c : changes) files[c.first] = c.second;
    for (const auto& f : files) {
      if (f.second.empty()) continue;
      std::FILE* out = std::fopen((dir_ + f.first).c_str(), "wb");
      ASSERT_NE(nullptr, out);
      std::fwrite(f.second.data(), 1, f.second.size(), out);
      std::fclose(out);
    }
  }
  std::string dir_;
};

TEST_F(SiteCheckTest, PrintsTheFindingsOfEachSite) {
  for (const SiteCase& c : kSiteCases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(0, system(("rm -f '" + dir_ + "'*").c_str()));
    WriteSite(c.changes);
    CheckSettings = CheckSettingsRec();
    CheckSettings.dir = dir_;
    CheckSettings.site = "S";
    if (c.project != nullptr) {
      std::string error;
      ASSERT_TRUE(ParseProjectNames(c.project, &error)) << error;
      CheckSettings.var_idx = ProjectVarIdx;
      CheckSettings.obj_idx = ProjectObjIdx;
      CheckSettings.var_facts = ProjectVarFacts;
    }
    EXPECT_EQ(c.status, CheckSite());
    if (c.status != kCheckUnreadable) {
      EXPECT_EQ(c.lines, ReportLines("S"));
    }
  }
}

TEST(SiteCheck, TheSampleSiteHasNoFindings) {
  CheckSettings = CheckSettingsRec();
  CheckSettings.dir = SOURCE_DIR "/demo/site/";
  CheckSettings.site = "TELVARINSERVER";
  EXPECT_EQ(kCheckClean, CheckSite());
  EXPECT_EQ(std::vector<std::string>{"TELVARINSERVER: 0 errors, 0 warnings"},
            ReportLines("TELVARINSERVER"));
}

}  // namespace

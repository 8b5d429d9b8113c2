// commands.cc: request entry, access check and command dispatch (see commands.h).
#include "interface/commands.h"

#include "interface/access.h"
#include "interface/pages.h"
#include "interface/runtimecmds.h"
#include "interface/workfiles.h"
#include "common/boxfiles.h"
#include "common/config.h"
#include "common/hostcheck.h"
#include "toolkit/strobj.h"

namespace {

// This program's runtime address when the control file cannot be opened.
constexpr char kDefaultRuntimeUrl[] = "xmlrpc://localhost:2110";

std::string Field(const std::string& query, int n) { return StrGetIndex(query, n, '&'); }

void DataPageWithCode(bool failed) {
  OutputData = failed ? "ERROR" : "OK";
  CreateHTMLDataPage();
}

}  // namespace

void DispatchCommand(const std::string& query) {
  const std::string command = Field(query, 1);
  const std::string argument = Field(query, 2);
  if (command == "ENDAK") {
    EndAK();
  } else if (command == "RESETAK") {
    ResetAK();
  } else if (command == "WORKFILES") {
    const int result = WorkFiles(query);
    CreateHTMLWorkFiles(result, WorkFileDir(Field(query, 3)));
  } else if (command == "CREATEVARLIST") {
    CreateVarList(argument);
    CreateHTMLDataPage();
  } else if (command == "GETVARBYNAME1") {
    GetVarByName(1, argument);
    CreateHTMLDataPage();
  } else if (command == "GETVARBYNAME2") {
    GetVarByName(2, argument);
    CreateHTMLDataPage();
  } else if (command == "GETVARBYNAME3") {
    GetVarByName(3, argument);
    CreateHTMLDataPage();
  } else if (command == "SETVARBYNAME") {
    const int code = SetVarByName(argument);
    OutputData = code < 1 ? "ERROR " + C_IntToStr(code) : "OK";
    CreateHTMLDataPage();
  } else if (command == "STARTMACRO") {
    DataPageWithCode(StartMacro(argument) < 0);
  } else if (command == "SETAUTH") {
    DataPageWithCode(SetAuth(argument) < 0);
  } else if (command == "VERSION") {
    OutputData = ActVersion;
    CreateHTMLDataPage();
  } else {
    OutputData = "INVALID CALL:" + command;
    CreateHTMLErrorPage();
  }
}

void RunInterface(const InterfaceRequestRec& request) {
  if (!AdmitRequestHost(request.HttpHost)) return;
  LoadCfgFile(ControlFilePath(), kDefaultRuntimeUrl);
  int error = 0;
  OutputData.clear();
  std::string query;
  if (request.HasQuery) {
    query = request.Query;
  } else {
    error = 1;
    OutputData = " INVALID PARAMETERS";
  }
  const std::string code = ReadAuthFile();
  // Field 3 is compared exactly as received: no decoding, case-sensitive.
  if (!code.empty() && !CheckAccessCode(request.RemoteAddr, Field(query, 3), code)) {
    error = 1;
    OutputData = "AUTH FAILED";
  }
  if (error > 0) {
    CreateHTMLErrorPage();
    return;
  }
  DispatchCommand(query);
}

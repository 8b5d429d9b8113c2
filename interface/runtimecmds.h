// runtimecmds.h: the administration commands that talk to the runtime: the
// variable list, reading and setting a variable by name, starting a macro, and
// stopping or restarting the runtime with its reset page. Every call goes
// through common/runtime.h; a failed call leaves its fallback.
// Tested by tests/interface_test.cc.
#pragma once

#include <string>

// "createvarlist" (argument). OutputData becomes the answered list when the
// answered count is 2 or more, else the empty text; it stays as it was when
// the call fails. Whether the call succeeded.
bool CreateVarList(const std::string& argument);
// "getvarbyname" (form 1, 2 or 3, name as received). OutputData becomes the
// answer; it stays as it was when the call fails.
void GetVarByName(int form, const std::string& name);
// "setvarbyname" (argument whole): the runtime's code (below 1 = error), or -1.
int SetVarByName(const std::string& argument);
// "startmacroidx" (argument as received): the runtime's code (negative = error), or -1.
int StartMacro(const std::string& argument);
// "comablaufkern" (110): asks the runtime to end; the outcome is not looked at.
void XMLRPCEndAK();

// The reset page: kind 1 reports a restart, any other kind a stop; the browser
// goes back to "config.cgi" after 2.5 s.
void CreateHTMLResetAK(int kind);

// "ENDAK": stop the runtime, then the reset page of kind 2.
void EndAK();
// "RESETAK": stop the runtime, wait 5 s, run "killall Ablaufkern" (without a
// shell, silenced), then the reset page of kind 1.
void ResetAK();

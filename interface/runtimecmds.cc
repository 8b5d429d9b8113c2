// runtimecmds.cc: the commands that talk to the runtime (see runtimecmds.h).
#include "interface/runtimecmds.h"

#include "common/runprogram.h"
#include "common/runtime.h"
#include "common/sleep.h"
#include "interface/pages.h"

namespace {

constexpr unsigned kRestartWaitSeconds = 5;
constexpr int kResetKindRestart = 1;
constexpr int kResetKindStop = 2;

}  // namespace

bool CreateVarList(const std::string& argument) {
  int count = 0;
  std::string list;
  if (!RuntimeCreateVarList(argument, &count, &list)) return false;
  OutputData = count < 2 ? std::string() : list;
  return true;
}

void GetVarByName(int form, const std::string& name) {
  std::string answer;
  if (RuntimeGetVarByName(form, name, &answer)) OutputData = answer;
}

int SetVarByName(const std::string& argument) { return RuntimeSetVarByName(argument); }

int StartMacro(const std::string& argument) { return RuntimeStartMacro(argument); }

void XMLRPCEndAK() { RuntimeEndKernel(); }

void CreateHTMLResetAK(int kind) {
  WriteActionPage(kind == kResetKindRestart ? "Neustart durchgef\xFChrt" : "Ablaufkern beendet",
                  "setTimeout(\"window.location.href='config.cgi'\", 2500);}");
}

void EndAK() {
  XMLRPCEndAK();
  CreateHTMLResetAK(kResetKindStop);
}

void ResetAK() {
  XMLRPCEndAK();
  // Give the runtime time to end by itself before it is killed.
  SleepSeconds(kRestartWaitSeconds);
  // Standard output is the response: nothing the helper prints may reach it.
  RunProgramAndWait({"killall", "Ablaufkern"}, ChildStreams());
  CreateHTMLResetAK(kResetKindRestart);
}

// runtimecmds.cc: the commands that talk to the runtime (see runtimecmds.h).
#include "interface/runtimecmds.h"

#include <time.h>

#include <cerrno>

#include "interface/pages.h"
#include "interface/quietrun.h"
#include "common/runtime.h"

namespace {

constexpr time_t kRestartWaitSeconds = 5;
constexpr int kResetKindRestart = 1;
constexpr int kResetKindStop = 2;

// Sleeps the whole time even when a signal interrupts it.
void WaitSeconds(time_t seconds) {
  timespec left{seconds, 0};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

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
  WaitSeconds(kRestartWaitSeconds);
  RunQuietly("killall", "Ablaufkern");
  CreateHTMLResetAK(kResetKindRestart);
}

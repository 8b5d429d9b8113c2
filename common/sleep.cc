// sleep.cc: whole-second waits (see sleep.h).
#include "common/sleep.h"

#include <time.h>

#include <cerrno>

namespace {

SleepFn sleep_for_test = nullptr;

}  // namespace

void SleepSeconds(unsigned seconds) {
  if (sleep_for_test != nullptr) {
    sleep_for_test(seconds);
    return;
  }
  timespec left{static_cast<time_t>(seconds), 0};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void SetSleepForTest(SleepFn sleep_fn) { sleep_for_test = sleep_fn; }

// sleep.cc: whole-second waits (see sleep.h).
#include "common/sleep.h"

#include <poll.h>
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

void SleepSecondsWhileRead(unsigned seconds, int fd) {
  if (sleep_for_test != nullptr) {
    sleep_for_test(seconds);
    return;
  }
  timespec end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  end.tv_sec += static_cast<time_t>(seconds);
  for (;;) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long left_ms =
        (end.tv_sec - now.tv_sec) * 1000LL + (end.tv_nsec - now.tv_nsec) / 1000000;
    if (left_ms <= 0) return;
    // No events asked: poll reports only an error or hang-up, as a pipe's
    // writing end gets when its reader closed it.
    pollfd watch{fd, 0, 0};
    const int n = poll(&watch, 1, static_cast<int>(left_ms > 60000 ? 60000 : left_ms));
    if (n > 0 && (watch.revents & (POLLERR | POLLHUP | POLLNVAL))) return;
    if (n < 0 && errno != EINTR) {
      SleepSeconds(static_cast<unsigned>((left_ms + 999) / 1000));
      return;
    }
  }
}

void SetSleepForTest(SleepFn sleep_fn) { sleep_for_test = sleep_fn; }

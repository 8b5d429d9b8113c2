// sleep_test.cc: the wait that ends when the page's reader has gone (a client
// that left gives its time-lock slot back) and lasts while the reader stays.
#include "common/sleep.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

namespace {

double SecondsOfWait(unsigned seconds, bool close_reader) {
  int fds[2];
  EXPECT_EQ(0, pipe(fds));
  if (close_reader) close(fds[0]);
  const auto start = std::chrono::steady_clock::now();
  SleepSecondsWhileRead(seconds, fds[1]);
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!close_reader) close(fds[0]);
  close(fds[1]);
  return took;
}

TEST(SleepSecondsWhileRead, EndsWhenTheReaderHasGone) {
  EXPECT_LT(SecondsOfWait(30, true), 2.0);
  EXPECT_GE(SecondsOfWait(1, false), 1.0);
}

}  // namespace

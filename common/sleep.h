// sleep.h: the one way the programs wait whole seconds (the login page's time
// lock, the administration interface's wait after a runtime restart). The wait
// runs out its whole time even when a signal interrupts it. Tests replace it.
#pragma once

void SleepSeconds(unsigned seconds);
// The same wait, ended early when the reader of fd (a pipe or socket the page
// goes out on) has gone: a client that left frees what its wait held.
void SleepSecondsWhileRead(unsigned seconds, int fd);

// Tests replace the wait with their own function; nullptr restores the real one.
using SleepFn = void (*)(unsigned seconds);
void SetSleepForTest(SleepFn sleep_fn);

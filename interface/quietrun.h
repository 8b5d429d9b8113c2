// quietrun.h: starting a helper program without a shell and without letting it
// write into the response: "RESETAK" uses it for "killall Ablaufkern".
// Tested by tests/interface_test.cc (a stand-in "killall" first on the path).
#pragma once

// Runs program (searched on PATH) with the one argument, its standard input,
// output and error on /dev/null, and waits for it to end. Whether it could be
// started or how it ended is not reported: the caller goes on in every case.
void RunQuietly(const char* program, const char* argument);

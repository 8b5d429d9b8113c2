// output.h: the one way pages reach standard output. Each line is written as
// bytes, ended by LF; the page is kept and leaves whole when the run ends (one
// write for a page of up to 64 KiB). Tests point the output at a string instead.
#pragma once

#include <string>

void WriteLine(const std::string& line);
// While capture is not null, WriteLine appends to it instead of standard output.
void SetOutputCapture(std::string* capture);
// Sends the page so far at once: for a page that waits before it goes on (the
// login page's time lock), so that the browser shows its first part meanwhile.
void FlushOutput();

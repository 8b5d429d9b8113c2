// output.h: the one way pages reach standard output. Each line is written as
// bytes, ended by LF and flushed. Tests point the output at a string instead.
#pragma once

#include <string>

void WriteLine(const std::string& line);
// While capture is not null, WriteLine appends to it instead of standard output.
void SetOutputCapture(std::string* capture);

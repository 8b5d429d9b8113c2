// linereader.h: the one way the programs read a text file line by line. Each
// line comes back whole (any length, any bytes, NUL included) without its LF,
// together with whether it ended in LF; each file format then applies its own
// rule (dropping a CR, keeping or dropping a last line without LF) where it
// reads. Tested by linereader_test.cc.
#pragma once

#include <cstdio>
#include <string>

// Reads the next line of file into *text (without its LF) and sets *ended_lf.
// Returns false, with *text empty, at the end of the file.
bool ReadLine(std::FILE* file, std::string* text, bool* ended_lf);

// answerbounds.h: the bounds that a runtime answer must keep before the XML-RPC
// library may parse it. The library's parser recurses once per nested array or
// struct (a deeply nested answer overflows the stack and ends the program with
// SIGSEGV) and copies strings several times over (a 50 MB string costs a
// page run 230 MB). An answer outside the bounds is a failed call.
// Tested by answerbounds_test.cc, common/runtime_test.cc (through a call) and
// fuzz/answer_fuzz.cc.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kMaxAnswerBytes = 1024 * 1024;  // of the answer's body
constexpr int kMaxAnswerDepth = 64;              // arrays and structs inside each other

// True when the answer's body (the XML after the HTTP header) is at most
// kMaxAnswerBytes long, its tags are balanced (every closing tag closes the
// innermost open one), and no point lies inside more than kMaxAnswerDepth open
// <array> and <struct> elements. Comments, declarations and "<.../>" open
// nothing. With balanced tags the parser's depth never exceeds the count, so a
// close tag hidden in a text cannot let a deeper answer through.
bool AnswerWithinBounds(const std::string& body);

// multicallanswer.h: how runtime.cc judges the answer of a "system.multicall",
// given the parsed value. Only runtime.cc and the answer fuzz target include it:
// everything else reaches the runtime through runtime.h, without the library.
// Tested by common/runtime_test.cc (every shape, through a call) and
// fuzz/answer_fuzz.cc.
#pragma once

#include <flxmlrpc/XmlRpc.h>

#include <cstddef>

#include "common/runtime.h"

// Sets the outcome (and text or number) of reads[0 .. count-1] from the answer:
// element i is the one-element array of read i's own answer, judged as its
// single call is; a fault struct, another shape or a missing element makes that
// read kFault. kNotOffered, with the reads untouched, when the answer is no
// array; else kOffered.
MulticallSupport JudgeMulticallAnswer(const XmlRpc::XmlRpcValue& answer, RuntimeRead* reads,
                                      size_t count);

// harness_test.cc: the harness's own promises that every program test leans
// on: standard input and output pass whole, the environment is exactly the one
// given, the exit status comes back, a program that runs too long is killed,
// and CGI requests carry their environment.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace {

using testsupport::ProcResult;
using testsupport::RunProgram;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

TEST(RunProgram, PassesInputAndOutputWhole) {
  std::string big(1 << 20, '\0');  // larger than a pipe holds, with every byte value
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  const ProcResult result = RunProgram("/bin/cat", {}, {}, big, 30);
  EXPECT_EQ(0, result.status);
  EXPECT_FALSE(result.timed_out);
  EXPECT_TRUE(result.out == big);
}

TEST(RunProgram, ReportsStatusAndStandardError) {
  const ProcResult result = RunProgram("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}, {});
  EXPECT_EQ(3, result.status);
  EXPECT_EQ("out\n", result.out);
  EXPECT_EQ("err\n", result.err);
  EXPECT_EQ(127, RunProgram("/nonexistent/program", {}, {}).status);
}

TEST(RunProgram, KillsAProgramThatRunsTooLong) {
  const auto start = std::chrono::steady_clock::now();
  const ProcResult result = RunProgram("/bin/sleep", {"20"}, {}, "", 0.3);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(-1, result.status);
  EXPECT_LT(spent.count(), 5);
}

TEST(RunProgram, EnvironmentIsExactlyTheOneGivenPlusPath) {
  const ProcResult result = RunProgram("/usr/bin/env", {}, {{"A", "x y"}, {"PATH", "/bin"}});
  EXPECT_EQ((std::vector<std::string>{"A=x y", "PATH=/bin"}), Lines(result.out));
}

TEST(Cgi, RequestsCarryTheirEnvironment) {
  const ProcResult get = testsupport::CgiGet("/usr/bin/env", "SP=X&sid=xxx", "10.0.0.5",
                                             {{"HTTP_HOST", "box"}});
  const std::vector<std::string> get_env = Lines(get.out);
  for (const char* want : {"REQUEST_METHOD=GET", "QUERY_STRING=SP=X&sid=xxx",
                           "REMOTE_ADDR=10.0.0.5", "HTTP_HOST=box"}) {
    EXPECT_NE(get_env.end(), std::find(get_env.begin(), get_env.end(), want)) << want;
  }
  EXPECT_EQ("a=1&b=\xFC", testsupport::CgiPost("/bin/cat", "a=1&b=\xFC").out);
  const std::vector<std::string> lines = Lines(testsupport::CgiPost("/usr/bin/env", "a=1&b=2").out);
  for (const char* want : {"REQUEST_METHOD=POST", "CONTENT_LENGTH=7", "REMOTE_ADDR=127.0.0.1"}) {
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), want)) << want;
  }
}

}  // namespace

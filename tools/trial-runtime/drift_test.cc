// drift_test.cc: the DRIFT record of the trial runtime's project: parsing and
// the values a drifting variable takes over time.
#include <gtest/gtest.h>

#include <string>

#include "project.h"

namespace {

std::string ValueAfter(const std::string& project_text, const std::string& name,
                       const double* times, int count) {
  TrialProject project;
  std::string error;
  EXPECT_TRUE(ParseProject(project_text, &project, &error)) << error;
  for (int i = 0; i < count; ++i) ApplyDrifts(project, times[i]);
  return FindVariableByName(project, name)->value;
}

TEST(ApplyDrifts, StepsTurnAtTheLimitsAndKeepTheFormat) {
  const std::string text = "VAR 30 AUSSENTEMP N 7,4\nDRIFT aussentemp 0,3 7 8 10\n";
  struct Case { double times[4]; int count; const char* want; };
  const Case cases[] = {
      {{100}, 1, "7,4"},                 // the first call only schedules
      {{100, 109.9}, 2, "7,4"},          // not yet due
      {{100, 110}, 2, "7,7"},
      {{100, 120}, 2, "8,0"},            // two steps due at once: 7,7 then 8,0
      {{100, 130}, 2, "7,7"},            // 8,3 would leave the range: turns back
      {{100, 110, 120, 130}, 4, "7,7"},  // the same, one step per call
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, ValueAfter(text, "AUSSENTEMP", c.times, c.count)) << c.times[c.count - 1];
  }
}

TEST(ApplyDrifts, DecimalPointAndNegativeValues) {
  const double times[] = {0, 5, 10};
  const std::string up = "VAR 1 T N -0.5\nDRIFT T 0.25 -1 1 5\n";
  EXPECT_EQ("-0.25", ValueAfter(up, "T", times, 2));
  EXPECT_EQ("0.00", ValueAfter(up, "T", times, 3));  // never "-0.00"
  const std::string top = "VAR 1 T N 0.9\nDRIFT T 0.25 -1 1 5\n";
  EXPECT_EQ("0.65", ValueAfter(top, "T", times, 2));  // 1.15 would leave the range
}

TEST(ParseProject, DriftErrors) {
  const char* bad[] = {
      "VAR 1 T N 1\nDRIFT T 0 0 1 5\n",          // step 0
      "VAR 1 T N 1\nDRIFT T -1 0 2 5\n",         // a negative step
      "VAR 1 T N 1\nDRIFT T 1 2 1 5\n",          // min above max
      "VAR 1 T N 1\nDRIFT T 1 0 2\n",            // seconds missing
      "VAR 1 T N 1\nDRIFT T 1 0 2 5 x\n",        // a word too many
      "VAR 1 T S a\nDRIFT T 1 0 2 5\n",          // not a number variable
      "VAR 1 T N 1\nDRIFT U 1 0 2 5\n",          // no such variable
      "VAR 1 T N 1\nDRIFT T 1x 0 2 5\n",         // not a number
  };
  for (const char* text : bad) {
    TrialProject project;
    std::string error;
    EXPECT_FALSE(ParseProject(text, &project, &error)) << text;
  }
}

}  // namespace

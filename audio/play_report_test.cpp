// A song that floods the mixer cannot flood the console.

#include "audio/play_report.h"

#include <gtest/gtest.h>

#include "testing/fakes.h"

namespace {

TEST(PlayReport, PrintsTheFirstLinesThenOneASecondWithACount) {
  PlayReport report(100);
  std::string text;
  {
    testkit::StdoutCapture out;
    // One refusal per frame for 3.5 seconds of a 100 Hz mix.
    for (uint64_t frame = 0; frame < 350; ++frame) report.report("no", frame);
    report.flush();
    text = out.text();
  }
  EXPECT_EQ(text,
            "no\nno\nno\nno\nno\nno (100 notes since the last line)\n"
            "no (100 notes since the last line)\nno (100 notes since the last line)\n");
}

}  // namespace

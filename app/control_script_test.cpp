// Control scripts for velumora-render: times, commands, comments, and the
// frames they fall on.

#include "app/control_script.h"

#include <gtest/gtest.h>

// Named, so that no helper here meets another test's in a unity build.
namespace control_script_test {
namespace {

TEST(ControlScript, ReadsTimedCommandsInTheOrderOfTheirTimes) {
  ControlScript script;
  std::string error;
  ASSERT_TRUE(
      script.parse("# a comment\n"
                   "\n"
                   "  2.5 volume 0.5\r\n"
                   "1 pause\n"
                   "2.5 song rain mute 1\n"
                   "0.000001 play\n",
                   "s.txt", error))
      << error;
  ASSERT_EQ(script.lines().size(), 4u);
  const uint64_t expected[] = {1, 1000000, 2500000, 2500000};
  const int numbers[] = {6, 4, 3, 5};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(script.lines()[i].microseconds, expected[i]) << i;
    EXPECT_EQ(script.lines()[i].number, numbers[i]) << i;
  }
}

TEST(ControlScript, TellsWhereALineIsWrong) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"1 pause\nsoon play\n", "s.txt:2: a line begins with its time"},
      {"1.1234567 pause\n", "s.txt:1: a line begins with its time"},
      {"864001 pause\n", "s.txt:1: a line begins with its time"},
      {"-1 pause\n", "s.txt:1: a line begins with its time"},
      {"1\n", "s.txt:1: no command"},
      {"\n\n3 quit\n", "s.txt:3: a render ends after its --seconds"},
      {"2 volume 5\n", "s.txt:1: volume needs a level from 0 to 4"},
  };
  for (const auto& c : cases) {
    ControlScript script;
    std::string error;
    EXPECT_FALSE(script.parse(c.text, "s.txt", error)) << c.text;
    EXPECT_EQ(error.compare(0, c.error.size(), c.error), 0) << error;
  }
  ControlScript script;
  std::string error;
  EXPECT_FALSE(script.read("/nonexistent/s.txt", error));
  EXPECT_EQ(error, "/nonexistent/s.txt: No such file or directory");
}

TEST(ControlScript, ACommandFallsOnTheFirstBufferAtOrAfterItsTime) {
  ControlScript script;
  std::string error;
  ASSERT_TRUE(
      script.parse("0 pause\n0.000001 play\n1 pause\n1.1 play\n864000 pause\n", "s", error));
  const auto& lines = script.lines();
  EXPECT_EQ(ControlScript::frameOf(lines[0], 22050, 512), 0u);
  EXPECT_EQ(ControlScript::frameOf(lines[1], 22050, 512), 0u);
  EXPECT_EQ(ControlScript::frameOf(lines[2], 22050, 512), 22528u);
  EXPECT_EQ(ControlScript::frameOf(lines[3], 22050, 512), 24576u);
  EXPECT_EQ(ControlScript::frameOf(lines[4], 96000, 512), 864000ull * 96000);
  // Paused from 0 to 0, and from 22528 to 24576.
  EXPECT_EQ(script.pausedWithin(30000, 22050, 512), 2048u);
  EXPECT_EQ(script.pausedWithin(23000, 22050, 512), 472u);
  EXPECT_EQ(script.pausedWithin(22528, 22050, 512), 0u);
}

}  // namespace
}  // namespace control_script_test

#include "pattern/wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pattern/pattern_test_support.h"
#include "pattern/random_source.h"
#include "pattern/random_wait.h"

namespace {

using pattern_testing::millisecondsTaken;
using pattern_testing::randAfter;

class WaitTest : public pattern_testing::PatternTest {};
class RandomWaitTest : public pattern_testing::PatternTest {};
class RandomSourceTest : public pattern_testing::PatternTest {};

constexpr unsigned kSeed = 20240611;

TEST_F(WaitTest, DurationIsTheNumberOfTheText) {
  struct Row {
    std::string text;
    uint32_t duration;
  };
  const std::vector<Row> rows = {
      {"", 0},
      {"0", 0},
      {"750", 750},
      {"007", 7},
      {"2147483647", 2147483647u},
      {"99999999999", 2147483647u},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    Wait wait(row.text);
    EXPECT_TRUE(wait.growTree());
    EXPECT_EQ(wait.duration, row.duration);
    EXPECT_EQ(wait.text, row.text);
  }
}

TEST_F(WaitTest, SleepsInSlicesThatTheStopFlagEnds) {
  struct Row {
    std::string label;
    std::string text;
    bool stoppedBefore;
    // Raise the flag this long after play starts; negative: never.
    int raiseAfterMs;
    long long atLeastMs;
    long long belowMs;
  };
  const std::vector<Row> rows = {
      {"0 ms sleeps nothing", "0", false, -1, 0, 200},
      {"300 ms is slept although stopped", "300", true, -1, 280, 1500},
      {"500 ms returns at once when stopped", "500", true, -1, 0, 200},
      {"750 ms returns at once when stopped", "750", true, -1, 0, 200},
      {"999 ms sleeps the rest after its one slice", "999", false, 100, 940, 2500},
      {"1500 ms ends after the slice in progress", "1500", false, 100, 450, 950},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    stopFlag = row.stoppedBefore;
    Wait wait(row.text);
    ASSERT_TRUE(wait.growTree());
    std::thread raiser;
    const long long ms = millisecondsTaken([&] {
      if (row.raiseAfterMs >= 0) {
        raiser = std::thread([&] {
          std::this_thread::sleep_for(std::chrono::milliseconds(row.raiseAfterMs));
          stopFlag = true;
        });
      }
      wait.play();
    });
    if (raiser.joinable()) raiser.join();
    stopFlag = false;
    EXPECT_GE(ms, row.atLeastMs);
    EXPECT_LT(ms, row.belowMs);
  }
}

TEST_F(RandomWaitTest, BoundsAreTheTwoNumbersInOrder) {
  struct Row {
    std::string text;
    int32_t minimum;
    int32_t maximum;
  };
  const std::vector<Row> rows = {
      {"12to5", 5, 12}, {"5to12", 5, 12}, {"0to0", 0, 0},
      {"7to7", 7, 7},   {"007to3", 3, 7}, {"99999999999to1", 1, 2147483647},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    RandomWait wait(row.text);
    EXPECT_TRUE(wait.growTree());
    EXPECT_EQ(wait.minimum, row.minimum);
    EXPECT_EQ(wait.maximum, row.maximum);
  }
}

TEST_F(RandomWaitTest, DrawsAndThenReturnsAtOnceWhenStopped) {
  struct Row {
    std::string text;
    bool draws;
  };
  const std::vector<Row> rows = {
      {"12to5", true},          {"300to400", true}, {"1000to2000", true},
      {"0to99999999999", true}, {"0to0", false},    {"7to7", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    RandomWait wait(row.text);
    ASSERT_TRUE(wait.growTree());
    stopFlag = true;
    std::srand(kSeed);
    const long long ms = millisecondsTaken([&] { wait.play(); });
    const int next = std::rand();
    stopFlag = false;
    EXPECT_LT(ms, 200);
    if (row.draws) {
      const int64_t width = int64_t{wait.maximum} - wait.minimum + 1;
      EXPECT_EQ(wait.duration, static_cast<uint32_t>(wait.minimum + randAfter(kSeed, 0) % width));
      EXPECT_EQ(next, randAfter(kSeed, 1));
    } else {
      EXPECT_EQ(wait.duration, static_cast<uint32_t>(wait.minimum));
      EXPECT_EQ(next, randAfter(kSeed, 0));
    }
  }
}

TEST_F(RandomWaitTest, EveryDrawLiesWithinTheBounds) {
  RandomWait wait("12to5");
  ASSERT_TRUE(wait.growTree());
  std::srand(kSeed);
  std::set<uint32_t> seen;
  stopFlag = true;
  for (int i = 0; i < 2000; ++i) {
    wait.play();
    ASSERT_GE(wait.duration, 5u);
    ASSERT_LE(wait.duration, 12u);
    seen.insert(wait.duration);
  }
  stopFlag = false;
  EXPECT_EQ(seen.size(), 8u);

  // Unstopped, it sleeps what it drew.
  const long long ms = millisecondsTaken([&] { wait.play(); });
  EXPECT_GE(ms + 1, static_cast<long long>(wait.duration));
  EXPECT_LT(ms, 400);
}

TEST_F(RandomSourceTest, RangeDrawsOnlyForAWiderRange) {
  struct Row {
    int64_t a;
    int64_t b;
    bool draws;
  };
  const int64_t kWeights = int64_t{2000} * 2147483647;
  const std::vector<Row> rows = {
      {0, -1, false}, {0, -100, false}, {0, 0, false},           {7, 7, false},
      {0, 1, true},   {5, 12, true},    {0, kWeights - 1, true}, {3, 3 + (int64_t{1} << 40), true},
  };
  RandomSource source;
  for (const Row& row : rows) {
    SCOPED_TRACE("range(" + std::to_string(row.a) + ", " + std::to_string(row.b) + ")");
    std::srand(kSeed);
    const int64_t value = source.range(row.a, row.b);
    const int next = std::rand();
    if (row.draws) {
      const int64_t width = row.b - row.a + 1;
      EXPECT_EQ(value, row.a + randAfter(kSeed, 0) % width);
      EXPECT_GE(value, row.a);
      EXPECT_LE(value, row.b);
      EXPECT_EQ(next, randAfter(kSeed, 1));
    } else {
      EXPECT_EQ(value, row.a);
      EXPECT_EQ(next, randAfter(kSeed, 0));
    }
  }
}

}  // namespace

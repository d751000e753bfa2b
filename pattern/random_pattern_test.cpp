#include "pattern/random_pattern.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pattern/pattern_test_support.h"

namespace {

using pattern_testing::playLog;
using pattern_testing::randAfter;
using pattern_testing::seedGiving;

constexpr int32_t kMaxWeight = 2147483647;

std::string notUnderstood(const std::string& text) {
  return "can't understand as Pattern Object \"" + text + "\"\n";
}

// "a:b:b:...=w:w:..." with `count` children and as many weights of kMaxWeight.
std::string manyHeavyWeights(std::size_t count) {
  std::string children = "a";
  std::string weights = std::to_string(kMaxWeight);
  for (std::size_t i = 1; i < count; ++i) {
    children += ":b";
    weights += ":" + std::to_string(kMaxWeight);
  }
  return children + "=" + weights;
}

class RandomPatternTest : public pattern_testing::PatternTest {
 protected:
  void SetUp() override {
    PatternTest::SetUp();
    addNamed("a");
    addNamed("b");
    addNamed("c");
    addNamed("stop", true);
  }

  // Grows text through a proxy and returns the choice below it.
  RandomPattern* growChoice(PatternObject& proxy, bool* grown, std::string* output) {
    *grown = grow(proxy, output);
    return dynamic_cast<RandomPattern*>(proxy.body);
  }
};

TEST_F(RandomPatternTest, GrowthReadsWeightsThenChildren) {
  struct Row {
    std::string text;
    bool grows;
    std::vector<int32_t> weights;
    int64_t total;
    std::size_t children;
    // Children whose proxies have a body after growth.
    std::size_t grownChildren;
    std::string output;
  };
  const std::vector<Row> rows = {
      {"a:b=1:3", true, {1, 3}, 4, 2, 2, ""},
      {"a:b=0:1", true, {0, 1}, 1, 2, 2, ""},
      {"a:b:c=1:1", true, {1, 1}, 2, 3, 3, ""},
      {"a:b=1:1:2", true, {1, 1, 2}, 4, 2, 2, ""},
      {"a:b=3:-2", true, {3, -2}, 1, 2, 2, ""},
      {"a=b", true, {0}, 0, 1, 1, ""},
      {"a==", true, {}, 0, 1, 1, ""},
      {"a:b=x:2", true, {0, 2}, 2, 2, 2, ""},
      {"a:b=99999999999:1", true, {kMaxWeight, 1}, int64_t{kMaxWeight} + 1, 2, 2, ""},
      {"(a,b):c=3:1", true, {3, 1}, 4, 2, 2, ""},
      {"a:b=1:-1", false, {}, 0, 0, 0, ""},
      {"a:b=-1:5", false, {}, 0, 0, 0, ""},
      {"a:x:b=1:1:1", false, {1, 1, 1}, 3, 3, 1, notUnderstood("x")},
      {"a:(b,x)=1:1",
       false,
       {1, 1},
       2,
       2,
       2,
       notUnderstood("x") + "MultiPattern::growTree Error\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    auto* proxy = new PatternObject(row.text);
    bool grown = false;
    std::string output;
    RandomPattern* choice = growChoice(*proxy, &grown, &output);
    EXPECT_EQ(grown, row.grows);
    EXPECT_EQ(output, row.output);
    ASSERT_NE(choice, nullptr);
    if (row.grows || !row.weights.empty()) {
      EXPECT_EQ(choice->weights, row.weights);
      EXPECT_EQ(choice->total, row.total);
    }
    EXPECT_EQ(choice->children.size(), row.children);
    std::size_t withBody = 0;
    for (const PatternObject* child : choice->children) withBody += child->body != nullptr;
    EXPECT_EQ(withBody, row.grownChildren);
    delete proxy;
  }
}

TEST_F(RandomPatternTest, PlaysTheFirstChildWhoseRunningSumExceedsTheDraw) {
  struct Row {
    std::string text;
    // The draw to force; ignored when the choice does not draw.
    int64_t r;
    bool draws;
    std::vector<std::string> played;
  };
  const std::vector<Row> rows = {
      {"a:b=1:3", 0, true, {"a"}},
      {"a:b=1:3", 1, true, {"b"}},
      {"a:b=1:3", 2, true, {"b"}},
      {"a:b=1:3", 3, true, {"b"}},
      {"a:b=0:1", 0, false, {"b"}},
      {"a=b", 0, false, {}},
      {"a:b:c=1:1", 0, true, {"a"}},
      {"a:b:c=1:1", 1, true, {"b"}},
      {"a:b=1:1:2", 1, true, {"b"}},
      {"a:b=1:1:2", 2, true, {}},
      {"a:b=1:1:2", 3, true, {}},
      {"a:b=3:-2", 0, false, {"a"}},
      {"a:b=1:-3", 0, false, {"a"}},
      {"a:b=-2:3", 0, false, {"b"}},
      {"(a,b):c=3:1", 2, true, {"a", "b"}},
      {"(a,b):c=3:1", 3, true, {"c"}},
      {"a:stop:b=1:1:1", 1, true, {"stop"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text + ", r: " + std::to_string(row.r));
    PatternObject proxy(row.text);
    bool grown = false;
    std::string output;
    RandomPattern* choice = growChoice(proxy, &grown, &output);
    ASSERT_TRUE(grown);
    ASSERT_NE(choice, nullptr);
    const unsigned seed = row.draws ? seedGiving(choice->total, row.r) : 99u;
    playLog().clear();
    std::srand(seed);
    proxy.play();
    const int next = std::rand();
    stopFlag = false;
    EXPECT_EQ(playLog(), row.played);
    EXPECT_EQ(next, randAfter(seed, row.draws ? 1 : 0));
  }
}

TEST_F(RandomPatternTest, HugeWeightsAddUpWithoutOverflow) {
  struct Row {
    std::size_t count;
  };
  const std::vector<Row> rows = {{2}, {3}, {2000}};
  constexpr unsigned kSeed = 4242;
  for (const Row& row : rows) {
    SCOPED_TRACE("weights: " + std::to_string(row.count));
    PatternObject proxy(manyHeavyWeights(row.count));
    bool grown = false;
    std::string output;
    RandomPattern* choice = growChoice(proxy, &grown, &output);
    ASSERT_TRUE(grown);
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->total, static_cast<int64_t>(row.count) * kMaxWeight);
    EXPECT_EQ(choice->children.size(), row.count);

    // No draw reaches past a + RAND_MAX, so only the first two children can
    // ever be chosen, and the second only for a draw of kMaxWeight.
    playLog().clear();
    std::srand(kSeed);
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
      const int64_t r = randAfter(kSeed, i) % choice->total;
      expected.push_back(r < kMaxWeight ? "a" : "b");
    }
    std::srand(kSeed);
    for (int i = 0; i < 20; ++i) proxy.play();
    EXPECT_EQ(playLog(), expected);
  }
}

TEST_F(RandomPatternTest, ChecksTheStopFlagItself) {
  // Leaves straight below the choice, without proxies that would check the
  // flag on their own.
  struct Row {
    std::string label;
    bool stopped;
    std::vector<std::string> played;
  };
  const std::vector<Row> rows = {{"running", false, {"0"}}, {"stopped", true, {}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RandomPattern choice("0:1=1:0");
    choice.children = {new pattern_testing::Recorder("0"), new pattern_testing::Recorder("1")};
    choice.weights = {1, 0};
    choice.total = 1;
    playLog().clear();
    stopFlag = row.stopped;
    choice.play();
    stopFlag = false;
    EXPECT_EQ(playLog(), row.played);
  }
}

TEST_F(RandomPatternTest, PlaysNothingOnceStopped) {
  const std::vector<std::string> texts = {"a:b=1:1", "a=1", "a:b=0:5", "(a,b):c=1:1"};
  for (const std::string& text : texts) {
    SCOPED_TRACE("text: " + text);
    PatternObject proxy(text);
    bool grown = false;
    std::string output;
    RandomPattern* choice = growChoice(proxy, &grown, &output);
    ASSERT_TRUE(grown);
    ASSERT_NE(choice, nullptr);
    playLog().clear();
    stopFlag = true;
    for (int i = 0; i < 10; ++i) choice->play();
    stopFlag = false;
    EXPECT_EQ(playLog(), std::vector<std::string>{});
  }
}

}  // namespace

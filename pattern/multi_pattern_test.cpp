#include "pattern/multi_pattern.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <typeinfo>
#include <vector>

#include "pattern/pattern_test_support.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/wait.h"

namespace {

using pattern_testing::playLog;
using pattern_testing::Recorder;

const std::string kSequenceError = "MultiPattern::growTree Error\n";

std::string notUnderstood(const std::string& text) {
  return "can't understand as Pattern Object \"" + text + "\"\n";
}

// What a grown child proxy stands for, in a word.
std::string kindOf(const PatternObject* child) {
  if (child->body == nullptr) return "none";
  if (!child->ownsBody) return "ref";
  const std::type_info& type = typeid(*child->body);
  if (type == typeid(Wait)) return "wait";
  if (type == typeid(RandomWait)) return "randomwait";
  if (type == typeid(MultiPattern)) return "seq";
  if (type == typeid(RandomPattern)) return "choice";
  return "other";
}

class MultiPatternTest : public pattern_testing::PatternTest {
 protected:
  void SetUp() override {
    PatternTest::SetUp();
    a = addNamed("a");
    b = addNamed("b");
    c = addNamed("c");
    addNamed("stop", true);
  }

  Recorder* a = nullptr;
  Recorder* b = nullptr;
  Recorder* c = nullptr;
};

TEST_F(MultiPatternTest, GrowsOneChildPerPieceAndStopsAtTheFirstFailure) {
  struct Row {
    std::string text;
    bool grows;
    std::vector<std::string> childTexts;
    std::vector<std::string> childKinds;
    std::string output;
  };
  const std::vector<Row> rows = {
      {"a,b,", true, {"a", "b"}, {"ref", "ref"}, ""},
      {",a,b", true, {"a", "b"}, {"ref", "ref"}, ""},
      {"a,,b", true, {"a", "", "b"}, {"ref", "wait", "ref"}, ""},
      {"(a,b),c", true, {"a,b", "c"}, {"seq", "ref"}, ""},
      {"a:b=1:1,5to9,(c)", true, {"a:b=1:1", "5to9", "c"}, {"choice", "randomwait", "ref"}, ""},
      {"500,x,250",
       false,
       {"500", "x", "250"},
       {"wait", "none", "none"},
       notUnderstood("x") + kSequenceError},
      {"a,(b,x),c",
       false,
       {"a", "b,x", "c"},
       {"ref", "seq", "none"},
       notUnderstood("x") + kSequenceError + kSequenceError},
      {"a,(b:x=1:1),c",
       false,
       {"a", "b:x=1:1", "c"},
       {"ref", "choice", "none"},
       notUnderstood("x") + kSequenceError},
      {"a,(b:c=1:-1),c", false, {"a", "b:c=1:-1", "c"}, {"ref", "choice", "none"}, kSequenceError},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    auto* tree = new PatternObject(row.text);
    std::string output;
    EXPECT_EQ(grow(*tree, &output), row.grows);
    EXPECT_EQ(output, row.output);
    auto* sequence = dynamic_cast<MultiPattern*>(tree->body);
    ASSERT_NE(sequence, nullptr);
    ASSERT_EQ(typeid(*sequence), typeid(MultiPattern));
    ASSERT_EQ(sequence->children.size(), row.childTexts.size());
    for (std::size_t i = 0; i < row.childTexts.size(); ++i) {
      SCOPED_TRACE("child " + std::to_string(i));
      EXPECT_EQ(sequence->children[i]->text, row.childTexts[i]);
      EXPECT_EQ(kindOf(sequence->children[i]), row.childKinds[i]);
    }
    delete tree;
  }
}

TEST_F(MultiPatternTest, PlaysChildrenInOrderUntilStopped) {
  struct Row {
    std::string text;
    bool stoppedBefore;
    std::vector<std::string> played;
  };
  const std::vector<Row> rows = {
      {"a,b,a,c", false, {"a", "b", "a", "c"}},
      {"a,0,(b,c),1to1,,a", false, {"a", "b", "c", "a"}},
      {"a,stop,b", false, {"a", "stop"}},
      {"a,(stop,b),c", false, {"a", "stop"}},
      {"a,(b:stop=0:1),c", false, {"a", "stop"}},
      {"stop,(a:b=1:1)", false, {"stop"}},
      {"a,b", true, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    PatternObject tree(row.text);
    std::string output;
    ASSERT_TRUE(grow(tree, &output));
    playLog().clear();
    stopFlag = row.stoppedBefore;
    // The sequence itself, not its proxy, must notice the flag.
    tree.body->play();
    stopFlag = false;
    EXPECT_EQ(playLog(), row.played);
  }
}

TEST_F(MultiPatternTest, ChecksTheStopFlagBeforeEachChildItself) {
  // Leaves straight below the sequence, without proxies that would check the
  // flag on their own.
  struct Row {
    std::string label;
    bool stoppedBefore;
    std::vector<bool> raisesStop;
    std::vector<std::string> played;
  };
  const std::vector<Row> rows = {
      {"runs through", false, {false, false, false}, {"0", "1", "2"}},
      {"second child stops", false, {false, true, false}, {"0", "1"}},
      {"first child stops", false, {true, false, false}, {"0"}},
      {"stopped before", true, {false, false}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MultiPattern sequence("x");
    for (std::size_t i = 0; i < row.raisesStop.size(); ++i) {
      sequence.children.push_back(new Recorder(std::to_string(i), row.raisesStop[i]));
    }
    playLog().clear();
    stopFlag = row.stoppedBefore;
    sequence.play();
    stopFlag = false;
    EXPECT_EQ(playLog(), row.played);
  }
}

TEST_F(MultiPatternTest, PositionReachesEveryChildThroughReferences) {
  struct Row {
    std::string text;
    bool stopped;
    std::map<std::string, std::size_t> received;
  };
  const std::vector<Row> rows = {
      {"a,(b:a:c=1:1),100,1to2,b", false, {{"a", 2}, {"b", 2}, {"c", 1}}},
      {"a:b:c=0:1", false, {{"a", 1}, {"b", 1}, {"c", 1}}},
      {"(a,a),a,x", false, {{"a", 3}, {"b", 0}, {"c", 0}}},
      {"(a,a),a", true, {{"a", 3}, {"b", 0}, {"c", 0}}},
  };
  const std::map<std::string, Recorder*> recorders = {{"a", a}, {"b", b}, {"c", c}};
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    for (const auto& named : recorders) named.second->positions.clear();
    PatternObject tree(row.text);
    std::string output;
    grow(tree, &output);
    stopFlag = row.stopped;
    tree.setPosition(-90, 200);
    stopFlag = false;
    for (const auto& named : recorders) {
      SCOPED_TRACE("name: " + named.first);
      const auto& positions = named.second->positions;
      ASSERT_EQ(positions.size(), row.received.at(named.first));
      for (const auto& position : positions) {
        EXPECT_EQ(position, std::make_pair(int16_t{-90}, uint8_t{200}));
      }
    }
  }
}

}  // namespace

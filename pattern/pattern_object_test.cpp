#include "pattern/pattern_object.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "pattern/multi_pattern.h"
#include "pattern/pattern_test_support.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/wait.h"

namespace {

using pattern_testing::liveRecorders;
using pattern_testing::millisecondsTaken;
using pattern_testing::playLog;
using pattern_testing::Recorder;

const std::string kTooDeep =
    "can't understand as Pattern Object : nested deeper than 1000 levels\n";

std::string notUnderstood(const std::string& text) {
  return "can't understand as Pattern Object \"" + text + "\"\n";
}

std::string repeat(const std::string& piece, std::size_t times) {
  std::string result;
  result.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) result += piece;
  return result;
}

// A sequence nested `levels` times: "0,(0,(...(0,0)...))". Its deepest path
// holds levels + 2 proxies.
std::string nestedSequence(std::size_t levels) {
  return repeat("0,(", levels) + "0,0" + repeat(")", levels);
}

class ClassifyTest : public pattern_testing::PatternTest {};
class ProxyTest : public pattern_testing::PatternTest {
 protected:
  void clearNamed() { TearDown(); }
};
class DepthTest : public pattern_testing::PatternTest {};

TEST_F(ClassifyTest, KindsAndTheOrderOfTheTests) {
  struct Row {
    std::string text;
    bool sequence;
    bool choice;
    bool randomPause;
    bool note;
    int kind;
  };
  const std::vector<Row> rows = {
      {"", false, false, false, false, kWaitKind},
      {"250", false, false, false, false, kWaitKind},
      {"007", false, false, false, false, kWaitKind},
      {"-5", false, false, false, false, kReferenceKind},
      {"1.5", false, false, false, false, kReferenceKind},
      {"12to5", false, false, true, false, kRandomWaitKind},
      {"0to0", false, false, true, false, kRandomWaitKind},
      {"1to2to3", false, false, false, false, kReferenceKind},
      {"to5", false, false, false, false, kReferenceKind},
      {"5to", false, false, false, false, kReferenceKind},
      {"to", false, false, false, false, kReferenceKind},
      {"1toto2", false, false, false, false, kReferenceKind},
      {"xto5", false, false, false, false, kReferenceKind},
      {"5tox", false, false, false, false, kReferenceKind},
      {"a,b", true, false, false, false, kMultiPatternKind},
      {"a,b,", true, false, false, false, kMultiPatternKind},
      {",a", false, false, false, false, kReferenceKind},
      {",", false, false, false, false, kReferenceKind},
      {"(a,b)", false, false, false, false, kReferenceKind},
      {"(a,b),c", true, false, false, false, kMultiPatternKind},
      {"a=b", false, true, false, false, kRandomPatternKind},
      {"a:b=1:3", false, true, false, false, kRandomPatternKind},
      {"(a,b)=1", false, true, false, false, kRandomPatternKind},
      {"a==", false, true, false, false, kRandomPatternKind},
      {":a=1", false, true, false, false, kRandomPatternKind},
      {"a=:1", false, true, false, false, kRandomPatternKind},
      {"a:=1:", false, true, false, false, kRandomPatternKind},
      {"a=b=c", false, false, false, false, kReferenceKind},
      {"=a", false, false, false, false, kReferenceKind},
      {"a=", false, false, false, false, kReferenceKind},
      {":=1", false, false, false, false, kReferenceKind},
      {"a=:", false, false, false, false, kReferenceKind},
      {"a:b", false, false, false, false, kReferenceKind},
      {"\"x.wav\"", false, false, false, true, kNoteKind},
      {"\"toto.wav\"", false, false, false, true, kNoteKind},
      {"\"12to5\"", false, false, false, true, kNoteKind},
      {"x\"y.wav\"", false, false, false, true, kNoteKind},
      {"\"a,b.wav\"", true, false, false, true, kMultiPatternKind},
      {"\"a=b.wav\"", false, true, false, true, kRandomPatternKind},
      {"\"a\"\"b\"", false, false, false, false, kReferenceKind},
      {"\"a", false, false, false, false, kReferenceKind},
      {"a,b=1", true, true, false, false, kMultiPatternKind},
      {"1to2,3to4", true, false, false, false, kMultiPatternKind},
      {"Intro", false, false, false, false, kReferenceKind},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text: " + row.text);
    EXPECT_EQ(isSequence(row.text), row.sequence);
    EXPECT_EQ(isWeightedChoice(row.text), row.choice);
    EXPECT_EQ(isRandomPause(row.text), row.randomPause);
    EXPECT_EQ(isNote(row.text), row.note);
    EXPECT_EQ(classify(row.text), row.kind);
  }
}

TEST_F(ProxyTest, GrowthStripsClassifiesAndResolves) {
  enum class Body { kNone, kWait, kRandomWait, kSequence, kChoice, kReference };
  struct Row {
    std::string label;
    std::vector<std::string> names;
    std::string text;
    bool grows;
    std::string strippedText;
    std::string output;
    Body body;
    // Wait: duration; RandomWait: bounds; sequence and choice: children and
    // total; reference: index of the entry in names.
    int64_t first;
    int64_t second;
  };
  const std::vector<Row> rows = {
      {"empty text", {}, "", true, "", "", Body::kWait, 0, 0},
      {"spaced parentheses", {}, " (250) ", true, "250", "", Body::kWait, 250, 0},
      {"saturated number", {}, "99999999999", true, "99999999999", "", Body::kWait, 2147483647, 0},
      {"digits named like an entry", {"500"}, "500", true, "500", "", Body::kWait, 500, 0},
      {"random pause", {}, "12to5", true, "12to5", "", Body::kRandomWait, 5, 12},
      {"one pair stripped", {"a", "b"}, "(a,b)", true, "a,b", "", Body::kSequence, 2, 0},
      {"only one pair stripped",
       {"a", "b"},
       "((a,b))",
       false,
       "(a,b)",
       notUnderstood("(a,b)"),
       Body::kNone,
       0,
       0},
      {"stripped name in message",
       {},
       "(nope)",
       false,
       "nope",
       notUnderstood("nope"),
       Body::kNone,
       0,
       0},
      {"quoted name with a comma",
       {},
       "\"a,b.wav\"",
       false,
       "\"a,b.wav\"",
       notUnderstood("\"a") + "MultiPattern::growTree Error\n",
       Body::kSequence,
       2,
       0},
      {"quoted name with an equals sign",
       {},
       "\"a=b.wav\"",
       false,
       "\"a=b.wav\"",
       notUnderstood("\"a"),
       Body::kChoice,
       1,
       0},
      {"four quotes",
       {},
       "\"a\"\"b\"",
       false,
       "\"a\"\"b\"",
       notUnderstood("\"a\"\"b\""),
       Body::kNone,
       0,
       0},
      {"four quotes named",
       {"\"a\"\"b\""},
       "\"a\"\"b\"",
       true,
       "\"a\"\"b\"",
       "",
       Body::kReference,
       0,
       0},
      {"letter case counts",
       {"beat"},
       "Beat",
       false,
       "Beat",
       notUnderstood("Beat"),
       Body::kNone,
       0,
       0},
      {"name in parentheses", {"a"}, "(a)", true, "a", "", Body::kReference, 0, 0},
      {"first of two equal names", {"x", "a", "a"}, "a", true, "a", "", Body::kReference, 1, 0},
      {"two to's make a name", {"1to2to3"}, "1to2to3", true, "1to2to3", "", Body::kReference, 0, 0},
      {"trailing to makes a name",
       {},
       "5to",
       false,
       "5to",
       notUnderstood("5to"),
       Body::kNone,
       0,
       0},
      {"weight that is no number", {"a"}, "a=b", true, "a=b", "", Body::kChoice, 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::vector<Recorder*> entries;
    for (const std::string& name : row.names) entries.push_back(addNamed(name));

    PatternObject proxy(row.text);
    std::string output;
    EXPECT_EQ(grow(proxy, &output), row.grows);
    EXPECT_EQ(output, row.output);
    EXPECT_EQ(proxy.text, row.strippedText);

    switch (row.body) {
      case Body::kNone:
        EXPECT_EQ(proxy.body, nullptr);
        break;
      case Body::kWait: {
        ASSERT_NE(proxy.body, nullptr);
        ASSERT_EQ(typeid(*proxy.body), typeid(Wait));
        EXPECT_TRUE(proxy.ownsBody);
        EXPECT_EQ(proxy.body->text, row.strippedText);
        EXPECT_EQ(static_cast<Wait*>(proxy.body)->duration, static_cast<uint32_t>(row.first));
        break;
      }
      case Body::kRandomWait: {
        auto* wait = dynamic_cast<RandomWait*>(proxy.body);
        ASSERT_NE(wait, nullptr);
        EXPECT_TRUE(proxy.ownsBody);
        EXPECT_EQ(wait->minimum, row.first);
        EXPECT_EQ(wait->maximum, row.second);
        break;
      }
      case Body::kSequence: {
        ASSERT_NE(proxy.body, nullptr);
        ASSERT_EQ(typeid(*proxy.body), typeid(MultiPattern));
        EXPECT_TRUE(proxy.ownsBody);
        EXPECT_EQ(proxy.body->text, row.strippedText);
        EXPECT_EQ(static_cast<MultiPattern*>(proxy.body)->children.size(),
                  static_cast<std::size_t>(row.first));
        break;
      }
      case Body::kChoice: {
        auto* choice = dynamic_cast<RandomPattern*>(proxy.body);
        ASSERT_NE(choice, nullptr);
        EXPECT_TRUE(proxy.ownsBody);
        EXPECT_EQ(choice->children.size(), static_cast<std::size_t>(row.first));
        EXPECT_EQ(choice->total, row.second);
        break;
      }
      case Body::kReference:
        EXPECT_EQ(proxy.body, entries.at(static_cast<std::size_t>(row.first)));
        EXPECT_FALSE(proxy.ownsBody);
        break;
    }
    clearNamed();
  }
}

TEST_F(ProxyTest, ForwardsPlayOnlyWhileNotStoppedAndPositionAlways) {
  struct Row {
    std::string label;
    bool hasBody;
    bool stopped;
    std::vector<std::string> played;
    std::size_t positioned;
  };
  const std::vector<Row> rows = {
      {"running", true, false, {"r"}, 1},
      {"stopped", true, true, {}, 1},
      {"no body", false, false, {}, 0},
      {"no body, stopped", false, true, {}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    playLog().clear();
    PatternObject proxy("r");
    Recorder* recorder = nullptr;
    if (row.hasBody) proxy.body = recorder = new Recorder("r");
    stopFlag = row.stopped;
    proxy.play();
    proxy.setPosition(-45, 7);
    stopFlag = false;
    EXPECT_EQ(playLog(), row.played);
    if (recorder != nullptr) {
      ASSERT_EQ(recorder->positions.size(), row.positioned);
      EXPECT_EQ(recorder->positions[0], std::make_pair(int16_t{-45}, uint8_t{7}));
    }
  }
}

TEST_F(ProxyTest, DeletesOwnedBodiesButNotNamedPatterns) {
  const int before = liveRecorders();
  addNamed("a");
  addNamed("b");
  const std::vector<std::string> texts = {
      "a", "(a)", "a,b,(a:b=1:1)", "x,a", "(a,b),500,1to2", "b:(a,x)=1:1", "a:b=1:-1",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    auto* tree = new PatternObject(text);
    std::string output;
    grow(*tree, &output);
    delete tree;
    EXPECT_EQ(liveRecorders(), before + 2);
  }

  // A proxy deletes a body it owns, and only such a body.
  auto* owning = new PatternObject("r");
  owning->body = new Recorder("r");
  delete owning;
  EXPECT_EQ(liveRecorders(), before + 2);

  auto* referring = new PatternObject("r");
  auto* kept = new Recorder("r");
  referring->body = kept;
  referring->ownsBody = false;
  delete referring;
  EXPECT_EQ(liveRecorders(), before + 3);
  delete kept;

  clearNamed();
  EXPECT_EQ(liveRecorders(), before);
}

TEST_F(DepthTest, RefusesHugeNestingAtOnce) {
  struct Row {
    std::string label;
    std::string text;
  };
  const std::size_t levels = 200000;
  const std::vector<Row> rows = {
      {"nested sequence", repeat("500,(", levels) + "0,0" + repeat(")", levels)},
      {"nested choice", repeat("0:(", levels) + "0:0=1:1" + repeat(")=1:1", levels)},
      {"parentheses around a name", repeat("(", levels) + "a" + repeat(")", levels)},
      {"unclosed parentheses", repeat("0,(", levels)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    auto* proxy = new PatternObject(row.text);
    std::string output;
    bool grown = true;
    const long long ms = millisecondsTaken([&] { grown = grow(*proxy, &output); });
    EXPECT_FALSE(grown);
    EXPECT_EQ(output, kTooDeep);
    EXPECT_EQ(proxy->body, nullptr);
    delete proxy;
    std::printf("refusing %s of %zu bytes took %lld ms\n", row.label.c_str(), row.text.size(), ms);
    // Refusal is linear in the text; this bound only catches a runaway.
    EXPECT_LT(ms, 10000);
  }
}

TEST_F(DepthTest, AllowsAThousandProxiesOnAPathAndNoMore) {
  struct Row {
    std::size_t levels;
    bool grows;
  };
  // The second deepest tree is grown again after the refusal, so that a
  // refusal that left the depth count behind would show.
  const std::vector<Row> rows = {{998, true}, {999, false}, {998, true}, {0, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE("levels: " + std::to_string(row.levels));
    auto* tree = new PatternObject(nestedSequence(row.levels));
    std::string output;
    EXPECT_EQ(grow(*tree, &output), row.grows);
    if (row.grows) {
      EXPECT_EQ(output, "");
      tree->setPosition(90, 128);
      tree->play();
    } else {
      EXPECT_EQ(output.substr(0, kTooDeep.size()), kTooDeep);
      EXPECT_NE(output.find("MultiPattern::growTree Error\n"), std::string::npos);
    }
    delete tree;
  }
}

}  // namespace

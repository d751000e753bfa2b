#include "pattern/song.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "pattern/named_pattern_table.h"
#include "pattern/note.h"
#include "pattern/pattern_object.h"
#include "pattern/pattern_visitor.h"

namespace {

// Only a grown proxy has a body; it counts as one level of nesting.
bool isProxy(const PatternObject* node) { return node->body != nullptr; }

// The i-th node below node in the grown tree, references included, or null.
PatternObject* childAt(PatternObject* node, std::size_t i) {
  if (isProxy(node)) return i == 0 ? node->body : nullptr;
  const std::vector<PatternObject*>* children = node->subpatterns();
  return children != nullptr && i < children->size() ? (*children)[i] : nullptr;
}

// Walks the grown trees from the given roots, following references, without
// recursion. Refuses a reference cycle, naming the reference that closes it,
// and a path holding more than kMaxPatternDepth proxies. Below a root, nodes
// form a tree that only references leave, so only roots need remembering:
// each is walked once and its height reused, which keeps the walk linear.
bool checkShape(const std::vector<PatternObject*>& roots, ProblemReporter& reporter) {
  enum class State { kNew, kActive, kDone };
  struct Root {
    State state = State::kNew;
    std::size_t height = 0;  // proxies on the deepest path from the root
  };
  struct Frame {
    PatternObject* node;
    Root* root;  // set when node is a root
    std::size_t next;
    std::size_t deepest;
  };
  std::unordered_map<PatternObject*, Root> rootStates;
  rootStates.reserve(roots.size());
  for (PatternObject* root : roots) rootStates.emplace(root, Root());
  std::vector<Frame> stack;
  for (PatternObject* start : roots) {
    Root& startState = rootStates[start];
    if (startState.state != State::kNew) continue;
    startState.state = State::kActive;
    stack.push_back(Frame{start, &startState, 0, 0});
    while (!stack.empty()) {
      Frame& top = stack.back();
      PatternObject* child = childAt(top.node, top.next++);
      if (child != nullptr) {
        Root* target = nullptr;
        if (isProxy(top.node) && !top.node->ownsBody) {
          const auto found = rootStates.find(child);
          if (found != rootStates.end()) target = &found->second;
        }
        if (target == nullptr) {
          stack.push_back(Frame{child, nullptr, 0, 0});
        } else if (target->state == State::kNew) {
          target->state = State::kActive;
          stack.push_back(Frame{child, target, 0, 0});
        } else if (target->state == State::kActive) {
          const std::string named = "\"" + std::string(top.node->text.text) + "\"";
          reporter.report({ProblemReporter::Kind::kError, top.node->text.text,
                           "pattern " + named + " refers to itself",
                           "through the names it uses, a pattern may not come back to itself"},
                          {"can't grow Pattern Object " + named + " : it refers to itself"});
          return false;
        } else {
          top.deepest = std::max(top.deepest, target->height);
        }
        continue;
      }
      const std::size_t height = top.deepest + (isProxy(top.node) ? 1 : 0);
      if (height > kMaxPatternDepth) {
        reportTooDeep(reporter, top.node->text.text);
        return false;
      }
      if (top.root != nullptr) *top.root = Root{State::kDone, height};
      stack.pop_back();
      if (!stack.empty()) stack.back().deepest = std::max(stack.back().deepest, height);
    }
  }
  return true;
}

}  // namespace

void Song::setPosition(int16_t angle, uint8_t distance) {
  this->angle = angle;
  this->distance = distance;
  // Only notes keep a position.
  struct Positions : PatternVisitor {
    int16_t angle;
    uint8_t distance;
    Positions(int16_t angle, uint8_t distance) : angle(angle), distance(distance) {}
    void note(Note& note) override { note.setPosition(angle, distance); }
  } positions(angle, distance);
  walkPatterns(pattern, positions, References::kFollowed);
}

Song::~Song() {
  // The named patterns go before the main pattern.
  namedPatterns.clear();
  delete pattern;
  pattern = nullptr;
}

void Song::addNamedPattern(std::string_view name, PatternObject* pattern) {
  namedPatterns.push_back(std::make_unique<NamedPattern>(name, pattern));
}

bool Song::growTree(SampleCache& samples, ProblemReporter& reporter) {
  const NamedPatternTable names(namedPatterns);
  GrowContext context{*source, names, samples, reporter};
  std::vector<PatternObject*> roots;
  roots.reserve(namedPatterns.size() + 1);
  bool grown = true;
  for (const auto& entry : namedPatterns) {
    if (!entry->pattern->growTree(context)) {
      grown = false;
      if (!context.keepGoing()) return false;
    }
    roots.push_back(entry->pattern);
  }
  if (pattern == nullptr || !pattern->growTree(context) || !grown) return false;
  roots.push_back(pattern);
  return checkShape(roots, reporter);
}

#include "pattern/song.h"

#include <algorithm>
#include <typeinfo>
#include <unordered_map>

#include "pattern/multi_pattern.h"
#include "pattern/named_pattern_table.h"
#include "pattern/pattern_object.h"
#include "playlist/console_output.h"

namespace {

bool isProxy(const PatternObject* node) { return typeid(*node) == typeid(PatternObject); }

// The i-th node below node in the grown tree, references included, or null.
PatternObject* childAt(PatternObject* node, std::size_t i) {
  if (isProxy(node)) return i == 0 ? node->body : nullptr;
  if (auto* multi = dynamic_cast<MultiPattern*>(node)) {
    return i < multi->children.size() ? multi->children[i] : nullptr;
  }
  return nullptr;
}

// Walks the grown trees from the given roots, following references, without
// recursion. Refuses a reference cycle, naming the reference that closes it,
// and a path holding more than kMaxPatternDepth proxies. Linear in the
// number of nodes: each is finished once and remembered.
bool checkShape(const std::vector<PatternObject*>& roots) {
  enum class State { kActive, kDone };
  struct Visit {
    State state;
    std::size_t height;  // proxies on the deepest path from here
  };
  struct Frame {
    PatternObject* node;
    std::size_t next;
    std::size_t deepest;
  };
  std::unordered_map<PatternObject*, Visit> visits;
  std::vector<Frame> stack;
  for (PatternObject* root : roots) {
    if (root == nullptr || visits.count(root) != 0) continue;
    visits[root] = Visit{State::kActive, 0};
    stack.push_back(Frame{root, 0, 0});
    while (!stack.empty()) {
      Frame& top = stack.back();
      if (PatternObject* child = childAt(top.node, top.next++)) {
        const auto seen = visits.find(child);
        if (seen == visits.end()) {
          visits[child] = Visit{State::kActive, 0};
          stack.push_back(Frame{child, 0, 0});
        } else if (seen->second.state == State::kActive) {
          printLine("can't grow Pattern Object \"" + top.node->text + "\" : it refers to itself");
          return false;
        } else {
          top.deepest = std::max(top.deepest, seen->second.height);
        }
        continue;
      }
      const std::size_t height = top.deepest + (isProxy(top.node) ? 1 : 0);
      if (height > kMaxPatternDepth) {
        reportTooDeep();
        return false;
      }
      visits[top.node] = Visit{State::kDone, height};
      stack.pop_back();
      if (!stack.empty()) stack.back().deepest = std::max(stack.back().deepest, height);
    }
  }
  return true;
}

}  // namespace

Song::~Song() {
  for (NamedPattern* entry : namedPatterns) delete entry;
  namedPatterns.clear();
}

void Song::addNamedPattern(const std::string& name, PatternObject* pattern) {
  namedPatterns.push_back(new NamedPattern(name, pattern));
}

bool Song::growTree() {
  currentNamedPatterns.publish(namedPatterns);
  std::vector<PatternObject*> roots;
  roots.reserve(namedPatterns.size() + 1);
  for (NamedPattern* entry : namedPatterns) {
    if (!entry->pattern->growTree()) return false;
    roots.push_back(entry->pattern);
  }
  if (pattern == nullptr || !pattern->growTree()) return false;
  roots.push_back(pattern);
  return checkShape(roots);
}

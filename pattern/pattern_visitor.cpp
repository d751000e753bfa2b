#include "pattern/pattern_visitor.h"

#include <unordered_set>
#include <vector>

void walkPatterns(PatternObject* root, PatternVisitor& visitor, References references) {
  if (root == nullptr) return;
  struct Frame {
    PatternObject* node;
    std::size_t next;
  };
  // Each named pattern once: one used from many places would otherwise cost
  // time exponential in the nesting of shared names.
  std::unordered_set<const PatternObject*> followed;
  std::vector<Frame> stack;
  root->accept(visitor);
  stack.push_back(Frame{root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    PatternObject* node = top.node;
    PatternObject* child = nullptr;
    if (node->body != nullptr) {
      const bool enter =
          top.next++ == 0 && (node->ownsBody || (references == References::kFollowed &&
                                                 followed.insert(node->body).second));
      if (enter) child = node->body;
    } else if (const std::vector<PatternObject*>* children = node->subpatterns()) {
      if (top.next < children->size()) {
        child = (*children)[top.next++];
      } else {
        visitor.leave(*node);
      }
    }
    if (child == nullptr) {
      stack.pop_back();
      continue;
    }
    child->accept(visitor);
    stack.push_back(Frame{child, 0});
  }
}

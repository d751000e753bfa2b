#ifndef VELUMORA_PATTERN_MULTI_PATTERN_H_
#define VELUMORA_PATTERN_MULTI_PATTERN_H_

// A sequence: plays its children one after another, checking the stop flag
// before each. The children are proxies for the pieces of its text between
// top-level commas, and it owns them.

#include <cstdint>
#include <vector>

#include "pattern/pattern_object.h"

class MultiPattern : public PatternObject {
 public:
  explicit MultiPattern(TextPiece text) : PatternObject(text) {}
  ~MultiPattern() override;

  bool growTree(GrowContext& context) override;
  void accept(PatternVisitor& visitor) override;
  void step(SongPlayer& player, uint32_t& next) const override;
  const std::vector<PatternObject*>* subpatterns() const override { return &children; }

  std::vector<PatternObject*> children;

 protected:
  // Makes one proxy per piece of the text divided at delimiter (balanced),
  // then grows them in order; stops at the first failure (unless the context
  // keeps going) and returns false.
  bool growChildren(GrowContext& context, const TextPiece& piece, char delimiter);
};

#endif  // VELUMORA_PATTERN_MULTI_PATTERN_H_

#ifndef VELUMORA_PATTERN_RANDOM_PATTERN_H_
#define VELUMORA_PATTERN_RANDOM_PATTERN_H_

// A weighted choice "n1:n2:...=w1:w2:...": each play draws r below the total
// weight from its song's random source and plays the first child whose
// running sum of weights exceeds r. A child without a weight is never played.
// Sums are 64-bit, so no count of large weights overflows.

#include <cstdint>
#include <vector>

#include "pattern/multi_pattern.h"

class RandomPattern : public MultiPattern {
 public:
  explicit RandomPattern(TextPiece text) : MultiPattern(text) {}

  bool growTree(GrowContext& context) override;
  void accept(PatternVisitor& visitor) override;
  void step(SongPlayer& player, uint32_t& next) const override;

  std::vector<int32_t> weights;
  int64_t total = 0;
};

#endif  // VELUMORA_PATTERN_RANDOM_PATTERN_H_

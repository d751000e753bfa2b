#ifndef VELUMORA_PATTERN_RANDOM_PATTERN_H_
#define VELUMORA_PATTERN_RANDOM_PATTERN_H_

// A weighted choice "n1:n2:...=w1:w2:...": each play draws r below the total
// weight and plays the first child whose running sum of weights exceeds r.
// A child without a weight is never played. Sums are 64-bit, so no count of
// large weights overflows.

#include <cstdint>
#include <string>
#include <vector>

#include "pattern/multi_pattern.h"
#include "pattern/random_source.h"

class RandomPattern : public MultiPattern {
 public:
  explicit RandomPattern(const std::string& text);

  bool growTree() override;
  void play() override;

  std::vector<int32_t> weights;
  int64_t total = 0;
  RandomSource random;
};

#endif  // VELUMORA_PATTERN_RANDOM_PATTERN_H_

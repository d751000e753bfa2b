#ifndef VELUMORA_PATTERN_RANDOM_WAIT_H_
#define VELUMORA_PATTERN_RANDOM_WAIT_H_

// A pause of a random length between two bounds, drawn anew at every play
// from its song's random source.

#include <cstdint>

#include "pattern/wait.h"

class RandomWait : public Wait {
 public:
  explicit RandomWait(TextPiece text) : Wait(text) {}

  bool growTree(GrowContext& context) override;
  void accept(PatternVisitor& visitor) override;
  void step(SongPlayer& player, uint32_t& next) const override;

  int32_t minimum = 0;
  int32_t maximum = 0;
  bool reversed = false;  // written high to low; read low to high
};

#endif  // VELUMORA_PATTERN_RANDOM_WAIT_H_

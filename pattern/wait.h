#ifndef VELUMORA_PATTERN_WAIT_H_
#define VELUMORA_PATTERN_WAIT_H_

// A fixed pause: it moves its song's next moment on by its duration.

#include <cstdint>

#include "pattern/pattern_object.h"

class Wait : public PatternObject {
 public:
  explicit Wait(TextPiece text) : PatternObject(text) {}

  bool growTree(GrowContext& context) override;
  void accept(PatternVisitor& visitor) override;
  void step(SongPlayer& player, uint32_t& next) const override;

  uint32_t duration = 0;
};

#endif  // VELUMORA_PATTERN_WAIT_H_

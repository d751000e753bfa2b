#ifndef VELUMORA_PATTERN_WAIT_H_
#define VELUMORA_PATTERN_WAIT_H_

// A fixed pause, passed on the installed pause clock: live, it sleeps in
// slices of 500 ms and checks the stop flag before each slice, so shutdown
// ends it within a second; the rest below 500 ms is slept unchecked. Played
// on its song's player thread.

#include <cstdint>
#include <string>

#include "pattern/pattern_object.h"

class Wait : public PatternObject {
 public:
  explicit Wait(const std::string& text);

  bool growTree() override;
  void play() override;
  void setPosition(int16_t angle, uint8_t distance) override;

  uint32_t duration = 0;
};

#endif  // VELUMORA_PATTERN_WAIT_H_

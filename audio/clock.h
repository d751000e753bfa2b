#ifndef VELUMORA_AUDIO_CLOCK_H_
#define VELUMORA_AUDIO_CLOCK_H_

// Time as the live players keep it: frames of the mix. A player waits until
// the mix is about to reach the frame of its next moment, so pauses never add
// up sleeping errors. Abstract so that players can be tested on simulated
// time. Any thread.

#include <atomic>
#include <cstdint>

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t now() const = 0;
  // Returns true once now() has reached frame; false as soon as stop is seen
  // raised, which is checked before each wait of at most 500 ms.
  virtual bool waitUntil(uint64_t frame, const std::atomic<bool>& stop) = 0;
};

#endif  // VELUMORA_AUDIO_CLOCK_H_

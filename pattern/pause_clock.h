#ifndef VELUMORA_PATTERN_PAUSE_CLOCK_H_
#define VELUMORA_PATTERN_PAUSE_CLOCK_H_

// How a pause passes. The live program sleeps in slices of 500 ms and checks
// the stop flag before each slice. A renderer installs a clock of its own that
// advances the calling song's simulated time instead of sleeping. The clock is
// installed before the first player starts and removed after the last one
// ended; pause() is called on player threads.

#include <cstdint>

class PauseClock {
 public:
  virtual ~PauseClock() = default;
  virtual void pause(uint32_t ms) = 0;
};

// Null restores the live clock.
void installPauseClock(PauseClock* clock);

// Pauses the calling player for ms milliseconds on the installed clock.
void pauseFor(uint32_t ms);

#endif  // VELUMORA_PATTERN_PAUSE_CLOCK_H_

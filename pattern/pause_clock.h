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
  // A player has played its song's main pattern once more.
  virtual void repeated() {}
  // The stop flag has risen: every paused player may go on to its end.
  virtual void release() {}
};

// Null restores the live clock.
void installPauseClock(PauseClock* clock);

// Pauses the calling player for ms milliseconds on the installed clock.
void pauseFor(uint32_t ms);

// Tell the installed clock, if any, of a repetition or of the stop flag.
void notifyRepeated();
void releasePausedPlayers();

#endif  // VELUMORA_PATTERN_PAUSE_CLOCK_H_

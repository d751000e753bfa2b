#ifndef VELUMORA_PATTERN_RANDOM_SOURCE_H_
#define VELUMORA_PATTERN_RANDOM_SOURCE_H_

// The random draws of one song: a stream of its own, seeded from the run's
// seed and the song's place in the playlist, so that a song draws the same
// values whatever the other songs do and however its turns fall — live and
// rendered alike. SplitMix64 (Steele, Lea and Flood, 2014): eight bytes of
// state, so many thousands of songs cost nothing, and good enough mixing that
// neighbouring seeds give unrelated streams. Used by one thread at a time.

#include <cstdint>

class RandomSource {
 public:
  RandomSource(uint32_t seed, uint32_t stream);

  // A value from a to b inclusive; a negative b counts as 0, and equal
  // bounds return a without drawing. Each draw is 31 bits, like the C
  // library's rand(), so a range wider than 2^31 values never yields more
  // than a + 2^31 - 1. The arithmetic is 64-bit, so no range overflows.
  int64_t range(int64_t a, int64_t b);

 private:
  uint64_t next();
  uint64_t state_;
};

#endif  // VELUMORA_PATTERN_RANDOM_SOURCE_H_

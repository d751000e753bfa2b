#ifndef VELUMORA_PATTERN_RANDOM_SOURCE_H_
#define VELUMORA_PATTERN_RANDOM_SOURCE_H_

// Draws integers from the C library's generator, which it seeds with the
// calendar time when made. Made on the main thread during growth; range() is
// called from player threads (the C library serialises rand()).

#include <cstdint>

class RandomSource {
 public:
  RandomSource();

  // A value from a to b inclusive; a negative b counts as 0, and equal
  // bounds return a without drawing. The arithmetic is 64-bit, so no
  // range overflows; a range wider than RAND_MAX + 1 values never yields
  // more than a + RAND_MAX.
  int64_t range(int64_t a, int64_t b);
};

#endif  // VELUMORA_PATTERN_RANDOM_SOURCE_H_

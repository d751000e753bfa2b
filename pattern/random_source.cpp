#include "pattern/random_source.h"

RandomSource::RandomSource(uint32_t seed, uint32_t stream)
    : state_((uint64_t{seed} << 32 | stream) * 0x9e3779b97f4a7c15u) {}

uint64_t RandomSource::next() {
  uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

int64_t RandomSource::range(int64_t a, int64_t b) {
  if (b < 0) b = 0;
  if (a == b) return a;
  const int64_t width = b - a + 1;
  if (width <= 0) return a;
  return a + static_cast<int64_t>(next() >> 33) % width;
}

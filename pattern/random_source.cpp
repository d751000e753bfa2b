#include "pattern/random_source.h"

#include <cstdlib>
#include <ctime>

RandomSource::RandomSource() { std::srand(static_cast<unsigned>(std::time(nullptr))); }

int64_t RandomSource::range(int64_t a, int64_t b) {
  if (b < 0) b = 0;
  if (a == b) return a;
  const int64_t width = b - a + 1;
  if (width <= 0) return a;
  return a + static_cast<int64_t>(std::rand()) % width;
}

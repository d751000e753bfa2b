#include "pattern/random_source.h"

#include <atomic>
#include <cstdlib>
#include <ctime>

namespace {

// Seeding again with the seed in force, before anything was drawn from it,
// changes nothing; skipping that keeps growing many random patterns cheap.
// Construction happens on the main thread only; draws on player threads.
bool seeded = false;
std::atomic<bool> drawnSinceSeed{false};
std::time_t lastSeed = 0;

}  // namespace

RandomSource::RandomSource() {
  const std::time_t now = std::time(nullptr);
  if (seeded && !drawnSinceSeed.load(std::memory_order_relaxed) && now == lastSeed) return;
  std::srand(static_cast<unsigned>(now));
  seeded = true;
  drawnSinceSeed.store(false, std::memory_order_relaxed);
  lastSeed = now;
}

int64_t RandomSource::range(int64_t a, int64_t b) {
  if (b < 0) b = 0;
  if (a == b) return a;
  const int64_t width = b - a + 1;
  if (width <= 0) return a;
  drawnSinceSeed.store(true, std::memory_order_relaxed);
  return a + static_cast<int64_t>(std::rand()) % width;
}

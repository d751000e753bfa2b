#include "audio/mix_clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

bool MixClock::waitUntil(uint64_t frame, const std::atomic<bool>& stop) {
  for (;;) {
    const uint64_t now = mixer_.framesMixed();
    if (now >= frame) return true;
    if (stop.load(std::memory_order_acquire)) return false;
    const uint64_t ms = (frame - now) * 1000 / static_cast<uint64_t>(mixer_.rate());
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp<uint64_t>(ms, 1, 500)));
  }
}

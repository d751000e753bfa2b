#include "audio/mix_clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

bool MixClock::waitUntil(uint64_t frame, const std::atomic<bool>& stop) {
  const uint64_t rate = static_cast<uint64_t>(mixer_.rate());
  // The count grows a whole buffer at a time, when the device takes one, so
  // a sleep measured to the frame itself mostly wakes to find it unchanged.
  // With thousands of songs waiting those idle wake-ups cost more than all
  // the mixing: the last slice runs one buffer past the frame instead (the
  // players wait for a frame well ahead of their next note).
  const uint64_t buffer = mixer_.bufferFrames();
  const uint64_t bufferMs = std::max<uint64_t>(1, (buffer * 1000 + rate - 1) / rate);
  for (;;) {
    const uint64_t now = mixer_.framesMixed();
    if (now >= frame) return true;
    if (stop.load(std::memory_order_acquire)) return false;
    const uint64_t ms = ((frame - now + buffer) * 1000 + rate - 1) / rate;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp<uint64_t>(ms, bufferMs, 500)));
  }
}

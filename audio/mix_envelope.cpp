#include "audio/mix_envelope.h"

#include <algorithm>
#include <cmath>

namespace {

// A linear ramp from 0 at from to 1 at from + frames.
double rise(uint64_t frame, uint64_t from, uint64_t frames) {
  if (frame >= from + frames) return 1.0;
  if (frame <= from) return 0.0;
  return static_cast<double>(frame - from) / static_cast<double>(frames);
}

}  // namespace

void MixEnvelope::fadeIn(uint64_t from, uint64_t frames) {
  inFrames_.store(frames);
  inFrom_.store(from);
}

void MixEnvelope::fadeOut(uint64_t from, uint64_t frames) {
  if (from + frames >= silentFrom()) return;
  outFrames_.store(frames);
  outFrom_.store(from);
}

uint64_t MixEnvelope::silentFrom() const {
  const uint64_t from = outFrom_.load();
  return from == UINT64_MAX ? UINT64_MAX : from + outFrames_.load();
}

double MixEnvelope::limit(double value) {
  const double size = std::fabs(value);
  if (size <= kKnee) return value;
  const double room = kCeiling - kKnee;
  const double bent = kKnee + room * std::tanh((size - kKnee) / room);
  return std::copysign(bent, value);
}

void MixEnvelope::apply(int16_t* stream, std::size_t frames, uint64_t first) const {
  const double volume = volume_.load() * kHeadroom;
  const uint64_t inFrom = inFrom_.load(), inFrames = inFrames_.load();
  const uint64_t outFrom = outFrom_.load(), outFrames = outFrames_.load();
  for (std::size_t i = 0; i < frames; ++i) {
    const uint64_t frame = first + i;
    double gain = volume * rise(frame, inFrom, inFrames);
    if (frame >= outFrom) gain *= 1.0 - rise(frame, outFrom, outFrames);
    for (int side = 0; side < 2; ++side) {
      int16_t& value = stream[2 * i + side];
      const double shaped = limit(value * gain / 32768.0) * 32768.0;
      value = static_cast<int16_t>(std::clamp(std::lround(shaped), -32768L, 32767L));
    }
  }
}

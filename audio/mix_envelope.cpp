#include "audio/mix_envelope.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A linear ramp from 0 at from to 1 at from + frames.
double rise(uint64_t frame, uint64_t from, uint64_t frames) {
  if (frame >= from + frames) return 1.0;
  if (frame <= from) return 0.0;
  return static_cast<double>(frame - from) / static_cast<double>(frames);
}

// One value of the mix at a gain, limited and rounded to 16 bits.
int16_t shape(int16_t value, double gain) {
  const double shaped = MixEnvelope::limit(value * gain / 32768.0) * 32768.0;
  return static_cast<int16_t>(std::clamp(std::lround(shaped), -32768L, 32767L));
}

// The headroom given back value by value, bending those past the knee.
void restoreValues(int16_t* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const int32_t value = values[i] * MixEnvelope::kHeadroom;
    values[i] = std::abs(value) <= MixEnvelope::kKneeValue
                    ? static_cast<int16_t>(value)
                    : shape(values[i], MixEnvelope::kHeadroom);
  }
}

// The headroom given back, and nothing else: what shape() gives at the
// gain kHeadroom, which is exact in integers below the knee.
void restoreHeadroom(int16_t* values, std::size_t count) {
  constexpr int kHeadroom = MixEnvelope::kHeadroom;
  constexpr int16_t kQuietest = -MixEnvelope::kKneeValue / kHeadroom;
  constexpr int16_t kLoudest = MixEnvelope::kKneeValue / kHeadroom;
  // Blocks of a fixed size, in loops that compilers turn into vector
  // instructions even at -O2: most blocks hold nothing near the knee.
  constexpr std::size_t kBlock = 64;
  std::size_t at = 0;
  for (; at + kBlock <= count; at += kBlock) {
    int16_t* block = values + at;
    int16_t low = 0, high = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
      low = std::min(low, block[i]);
      high = std::max(high, block[i]);
    }
    if (low >= kQuietest && high <= kLoudest) {
      for (std::size_t i = 0; i < kBlock; ++i)
        block[i] = static_cast<int16_t>(block[i] * kHeadroom);
    } else {
      restoreValues(block, kBlock);
    }
  }
  restoreValues(values + at, count - at);
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

void MixEnvelope::apply(int16_t* stream, std::size_t frames, int channels, uint64_t first) const {
  if (frames == 0 || channels <= 0) return;
  const double volume = volume_.load() * kHeadroom;
  const uint64_t inFrom = inFrom_.load(), inFrames = inFrames_.load();
  const uint64_t outFrom = outFrom_.load(), outFrames = outFrames_.load();
  const auto width = static_cast<std::size_t>(channels);
  // The fade in is over by the first frame, and the fade out has not begun
  // by the last (its first frame still has the full level).
  const bool unfaded = first >= inFrom + inFrames && first + (frames - 1) <= outFrom;
  if (unfaded && volume == kHeadroom) return restoreHeadroom(stream, frames * width);
  for (std::size_t i = 0; i < frames; ++i) {
    const uint64_t frame = first + i;
    double gain = volume * rise(frame, inFrom, inFrames);
    if (frame >= outFrom) gain *= 1.0 - rise(frame, outFrom, outFrames);
    for (std::size_t side = 0; side < width; ++side) {
      int16_t& value = stream[width * i + side];
      value = shape(value, gain);
    }
  }
}

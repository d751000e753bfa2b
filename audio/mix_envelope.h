#ifndef VELUMORA_AUDIO_MIX_ENVELOPE_H_
#define VELUMORA_AUDIO_MIX_ENVELOPE_H_

// The level of the whole mix: a master volume, a fade in and a fade out on
// frames of the mix, and a soft limiter, so that many songs at distance 0
// never clip. Channels are mixed at 1/kHeadroom of their level, which leaves
// SDL_mixer's 16-bit sum that much room; apply() gives the level back,
// shapes it and rounds it to 16 bits. The limiter leaves every value below
// -3 dBFS as it is and bends louder ones smoothly towards just below full
// scale, which they never reach.
//
// Most buffers need nothing but the headroom given back: no fade runs, the
// volume is 100 % and no value reaches the knee. apply() does those in
// integers, and bends only the values above the knee, to the same result
// as the whole computation gives.
//
// The settings are made from any thread; apply() runs on the audio thread.

#include <atomic>
#include <cstddef>
#include <cstdint>

class MixEnvelope {
 public:
  static constexpr int kHeadroom = 4;
  // Where the limiter begins (-3 dBFS) and what it approaches (-0.09 dBFS).
  static constexpr double kKnee = 0.7079457843841379;
  static constexpr double kCeiling = 0.99;
  // The largest 16-bit value that the limiter leaves as it is.
  static constexpr int32_t kKneeValue = static_cast<int32_t>(kKnee * 32768.0);

  // 1.0 plays at the samples' own level.
  void setVolume(double volume) { volume_.store(volume); }
  // The level rises from nothing at frame `from` to full `frames` later.
  void fadeIn(uint64_t from, uint64_t frames);
  // The level falls from full at frame `from` to nothing `frames` later; the
  // earliest fade out asked for holds.
  void fadeOut(uint64_t from, uint64_t frames);
  // The first frame after which the mix is silent for good, or UINT64_MAX.
  uint64_t silentFrom() const;

  // Levels `frames` interleaved frames of `channels` values each, the first
  // of which is frame `first` of the mix.
  void apply(int16_t* stream, std::size_t frames, int channels, uint64_t first) const;

  // The limiter's curve, on values where 1.0 is full scale.
  static double limit(double value);

 private:
  std::atomic<double> volume_{1.0};
  std::atomic<uint64_t> inFrom_{0};
  std::atomic<uint64_t> inFrames_{0};
  std::atomic<uint64_t> outFrom_{UINT64_MAX};
  std::atomic<uint64_t> outFrames_{0};
};

#endif  // VELUMORA_AUDIO_MIX_ENVELOPE_H_

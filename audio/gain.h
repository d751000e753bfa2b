#ifndef VELUMORA_AUDIO_GAIN_H_
#define VELUMORA_AUDIO_GAIN_H_

// A level that notes carry and that may change while they sound: a song's
// level, 0 when it is muted. Each note shares its song's Gain (NoteStart),
// so the mixer reads the level when the note starts and again whenever it is
// told the level changed, and a note that outlives its song still has one.
// Set from any thread; read on the audio thread without waiting.

#include <atomic>

class Gain {
 public:
  // 1 plays the samples at their own level; at most kMost.
  static constexpr float kMost = 4.0f;

  void set(float value) { value_.store(value, std::memory_order_relaxed); }
  float value() const { return value_.load(std::memory_order_relaxed); }

 private:
  std::atomic<float> value_{1.0f};
};

#endif  // VELUMORA_AUDIO_GAIN_H_

#ifndef VELUMORA_AUDIO_MIX_CLOCK_H_
#define VELUMORA_AUDIO_MIX_CLOCK_H_

// The live clock: the frames a Mixer has mixed, waited for by sleeping in
// slices of at most 500 ms that are measured anew from the mix each time.

#include "audio/clock.h"
#include "audio/mixer.h"

class MixClock : public Clock {
 public:
  explicit MixClock(const Mixer& mixer) : mixer_(mixer) {}
  uint64_t now() const override { return mixer_.framesMixed(); }
  bool waitUntil(uint64_t frame, const std::atomic<bool>& stop) override;

 private:
  const Mixer& mixer_;
};

#endif  // VELUMORA_AUDIO_MIX_CLOCK_H_

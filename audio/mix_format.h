#ifndef VELUMORA_AUDIO_MIX_FORMAT_H_
#define VELUMORA_AUDIO_MIX_FORMAT_H_

// What the mix is played as: its rate and its channels (SpeakerLayout), as
// asked for on the command line, and the lengths that follow from the rate.
// Without options the mix is what it has always been: 22050 Hz stereo, in
// buffers of 512 frames. Plain values and functions: any thread.

#include <cstdint>

struct MixFormat {
  static constexpr int kDefaultRate = 22050;
  static constexpr int kLowestRate = 8000;
  static constexpr int kHighestRate = 192000;

  int rate = kDefaultRate;
  int channels = 2;
};

// The frames that last at rate as long as `frames` do at kDefaultRate.
inline uint64_t framesAtRate(uint64_t frames, int rate) {
  return frames * static_cast<uint64_t>(rate) / MixFormat::kDefaultRate;
}

// The live mixer's buffer: 512 frames (23 ms) at 22050 Hz, and the power of
// two nearest the same time at other rates, so that the device is woken as
// often whatever the rate.
inline uint32_t liveBufferFrames(int rate) {
  uint32_t frames = 64;
  // The next power of two is nearer when the frames wanted lie beyond
  // sqrt(2) times this one: compared squared, in integers.
  const uint64_t wanted = framesAtRate(512, rate);
  while (frames < 32768 && wanted * wanted > 2 * uint64_t{frames} * frames) frames *= 2;
  return frames;
}

#endif  // VELUMORA_AUDIO_MIX_FORMAT_H_

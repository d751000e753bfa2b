#ifndef VELUMORA_AUDIO_SAMPLE_DECODER_H_
#define VELUMORA_AUDIO_SAMPLE_DECODER_H_

#include <cstdint>
#include <string>
#include <vector>

struct DecodedSample {
  std::vector<int16_t> frames;  // interleaved stereo, signed 16-bit, at the mixer's rate
  int sourceRate = 0;
  int sourceChannels = 0;
};

bool decodeSample(const std::string& path, int mixerRate, DecodedSample& out, std::string& error);

#endif  // VELUMORA_AUDIO_SAMPLE_DECODER_H_

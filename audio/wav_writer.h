#ifndef VELUMORA_AUDIO_WAV_WRITER_H_
#define VELUMORA_AUDIO_WAV_WRITER_H_

#include <cstdint>
#include <string>

std::string wavHeader(int rate, int channels, uint64_t dataBytes);

#endif  // VELUMORA_AUDIO_WAV_WRITER_H_

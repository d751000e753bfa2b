#ifndef VELUMORA_AUDIO_SAMPLE_DECODER_H_
#define VELUMORA_AUDIO_SAMPLE_DECODER_H_

// Decoding a sample file into the mixer's format at its true pitch and
// length, whichever SDL 1.2 the program runs on.
//
// Classic SDL 1.2 converts sample rates only by powers of two (a 48 kHz
// file plays 8.8 % slow at a 22050 Hz mixer); sdl12-compat converts them
// exactly. decodeSample() reads the whole file into memory, checks and
// edits its headers (audio/sample_header.h) so that SDL_mixer's own loader,
// Mix_LoadWAV_RW, decodes it with the rate fields saying the mixer's rate,
// and then resamples the result from the file's real rate with libsoxr.
// WAV, AIFF, 8SVX, VOC, Ogg Vorbis and 16-bit stereo FLAC load, as they do
// with SDL_mixer alone; headers that would crash, hang or overrun SDL are
// refused with a reason.
//
// Threads: call it from one thread at a time while the mixer is open, as
// for Mix_LoadWAV_RW. It takes no audio lock, so channels may play
// meanwhile. No exception leaves it.

#include <cstdint>
#include <string>
#include <vector>

struct DecodedSample {
  std::vector<int16_t> frames;  // interleaved stereo, signed 16-bit, at the mixer's rate
  int sourceRate = 0;           // what the file says
  int sourceChannels = 0;
};

// Files larger than this are refused unread.
constexpr uint64_t kMaxSampleFileBytes = uint64_t{1} << 30;
// Nor may a decoded sample take more memory than this.
constexpr uint64_t kMaxDecodedSampleBytes = uint64_t{1} << 30;

// Precondition: SDL_mixer is open (Mix_OpenAudio) with AUDIO_S16LSB output of 2, 4 or 6
// channels at mixerRate; the sample comes out in stereo whatever they are.
// False with `error` set to the text that follows `" : Unable to Open Audio File : \"name\" : "`:
// SDL_mixer's own words wherever it refuses the file itself.
bool decodeSample(const std::string& path, int mixerRate, DecodedSample& out, std::string& error);

#endif  // VELUMORA_AUDIO_SAMPLE_DECODER_H_

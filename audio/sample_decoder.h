#ifndef VELUMORA_AUDIO_SAMPLE_DECODER_H_
#define VELUMORA_AUDIO_SAMPLE_DECODER_H_

// Decoding a sample file into the mixer's format at its true pitch and
// length.
//
// libsndfile reads the file: WAV of every sample format (8 to 32-bit
// integer, float, double, ADPCM, WAVE_FORMAT_EXTENSIBLE), RF64, W64, AIFF
// and AIFF-C, CAF, FLAC of any depth and channel count, Ogg Vorbis, Opus,
// MP3, VOC, IFF 8SVX and the rest it knows. decodeSample() reads it in
// blocks of floating-point frames, mixes more than two channels down to
// stereo, limits what lies beyond full scale, resamples each block to the
// mixer's rate with libsoxr and keeps only the result as signed 16-bit
// stereo, so that a sample never needs much more memory than its decoded
// size at the mixer's rate. Files that are not regular files, larger than
// kMaxSampleFileBytes, at absurd rates, or that would decode to more than
// kMaxDecodedSampleBytes are refused with a reason.
//
// Threads: any number of threads may decode at once; it calls neither SDL
// nor SDL_mixer. No exception leaves it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DecodedSample {
  // options.leadFrames frames of silence, then the sound: interleaved
  // stereo, signed 16-bit, at the mixer's rate.
  std::vector<int16_t> frames;
  int sourceRate = 0;  // what the file says
  int sourceChannels = 0;
  // What the file is, such as "48 kHz 24-bit stereo FLAC".
  std::string format;
};

// Rates a sample may have.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 384000;
// Files larger than this are refused unread.
constexpr uint64_t kMaxSampleFileBytes = uint64_t{1} << 30;
// Nor may a decoded sample take more memory than this.
constexpr uint64_t kMaxDecodedSampleBytes = uint64_t{1} << 30;

struct DecodeOptions {
  // Frames of silence that the sound is decoded behind (Sample's lead).
  uint32_t leadFrames = 0;
  // Asked between blocks; true ends the decoding with kDecodeInterrupted.
  std::function<bool()> interrupted;
  // The most bytes the decoded sound may take (tests make it small).
  uint64_t maxBytes = kMaxDecodedSampleBytes;
};

// The reason given when DecodeOptions::interrupted said so.
extern const char* const kDecodeInterrupted;
// The reason given for a file that no decoder reads (SDL_mixer's words).
extern const char* const kUnrecognizedSample;

// False with `error` set to the text that follows
// `" : Unable to Open Audio File : \"name\" : "`. A missing file, and a file
// that SDL_mixer did not know and that no decoder reads either, get the words
// SDL_mixer has for them, so that a playlist refused before is refused with
// the same lines.
bool decodeSample(const std::string& path, int mixerRate, DecodedSample& out, std::string& error,
                  const DecodeOptions& options = DecodeOptions());

// For a file that decodeSample() refused as kUnrecognizedSample: what it
// seems to be (an MPEG-4 or
// AAC file, MIDI, text, an empty file) and how to make a sample of it, such
// as "ffmpeg -i 'rain.m4a' 'rain.flac'". Both empty when it cannot tell.
struct SampleFileAdvice {
  std::string what;
  std::string fix;
};
SampleFileAdvice unreadableSampleAdvice(const std::string& path);

#endif  // VELUMORA_AUDIO_SAMPLE_DECODER_H_

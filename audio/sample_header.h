#ifndef VELUMORA_AUDIO_SAMPLE_HEADER_H_
#define VELUMORA_AUDIO_SAMPLE_HEADER_H_

// The headers of a sample file held in memory, read and edited before
// SDL_mixer 1.2.12 decodes the same bytes with Mix_LoadWAV_RW.
//
// prepareSampleHeader() finds the format from the first four bytes as
// Mix_LoadWAV_RW does and reads the sample rate and channel count exactly
// where SDL_mixer's decoder for that format takes them. It refuses a header
// that would crash, hang or overrun SDL or SDL_mixer (a rate or a channel
// count that SDL_BuildAudioCVT cannot handle, chunk walks that run off the
// end, VOC block sequences that overflow the decoder's buffer), clips
// declared lengths to what the bytes really hold, evens out WAV chunks of
// odd length so that SDL 1.2 and SDL2 find the same chunks, and rewrites
// the rate fields to the mixer's rate, so that SDL converts only the sample
// format and the channels, never the rate. It only reads and writes the
// buffer: it calls no library and may run on any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class SampleFormat { kUnknown, kWav, kAiff, kVoc, kOggVorbis, kFlac };

// Rates a sample may have; they also keep SDL's converter within its table.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 384000;

struct SampleHeader {
  SampleFormat format = SampleFormat::kUnknown;
  int rate = 0;      // the rate SDL_mixer reads from the file as it came
  int channels = 0;  // the channel count SDL_mixer reads
  // The rate SDL_mixer reads after the rewrite: the mixer's rate, except
  // for VOC time constants, which cannot say every rate exactly.
  int labelRate = 0;
  // WAV, AIFF and VOC: the frames SDL_mixer decodes from the edited bytes.
  // Ogg Vorbis and FLAC say it only by being decoded (0 here).
  uint64_t frames = 0;
  // FLAC that SDL_mixer 1.2.12 reads only as 16-bit stereo: other FLAC is
  // left untouched for SDL_mixer to refuse with its own words.
  bool leftToMixer = false;
};

// Reads, checks and edits `bytes` (a WAV may gain pad bytes) for a mixer
// running at `mixerRate` (which must lie within kMinSampleRate and
// kMaxSampleRate). A format other than the five is left untouched with
// kUnknown. False with `error` set for a file that SDL_mixer must not be
// given; `bytes` may then be half edited.
bool prepareSampleHeader(std::vector<uint8_t>& bytes, int mixerRate, SampleHeader& header,
                         std::string& error);

// FLAC: writes the total sample count into STREAMINFO, from which SDL_mixer
// sizes the buffer it decodes into. Call only after prepareSampleHeader()
// accepted the bytes as FLAC.
void setFlacTotalSamples(std::vector<uint8_t>& bytes, uint64_t samples);

#endif  // VELUMORA_AUDIO_SAMPLE_HEADER_H_

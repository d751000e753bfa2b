#ifndef VELUMORA_TESTING_WAV_H_
#define VELUMORA_TESTING_WAV_H_

// Test audio: sine-tone WAV files, the fields of hand-made sample headers,
// and reading and measuring what SDL's disk audio driver wrote (raw signed
// 16-bit little-endian interleaved frames, stereo unless the mixer was
// opened with more channels).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

struct Tone {
  double frequency = 440.0;  // Hz
  double seconds = 0.5;
  double amplitude = 0.5;  // of full scale, 0 to 1
  int rate = 22050;        // frames per second
  int channels = 1;        // every channel carries the same tone
};

// Writes a 16-bit PCM WAV file holding the tone; false on failure.
bool writeToneWav(const std::string& path, const Tone& tone);

// The low `bytes` bytes of value, little-endian (le) or big-endian (be).
inline std::string le(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}
inline std::string be(uint64_t value, int bytes) {
  const std::string little = le(value, bytes);
  return std::string(little.rbegin(), little.rend());
}

// Hand-made sample files, their fields as given, however wrong.
// WAV: chunks `before` fmt, 16-bit PCM fmt, then a data chunk declaring
// `declared` bytes (-1: those it holds).
inline std::string wavFile(uint16_t channels, uint64_t rate, const std::string& data,
                           int64_t declared = -1, const std::string& before = "") {
  return "RIFF" + le(36 + before.size() + data.size(), 4) + "WAVE" + before + "fmt " + le(16, 4) +
         le(1, 2) + le(channels, 2) + le(rate, 4) + le(rate * channels * 2, 4) +
         le(channels * 2, 2) + le(16, 2) + "data" +
         le(declared < 0 ? data.size() : uint64_t(declared), 4) + data;
}
// VOC (version 1.10): the header, then blocks of a type, a 24-bit length
// (the payload's, unless declared) and the payload.
inline std::string vocFile(const std::string& blocks) {
  return "Creative Voice File\x1a" + le(26, 2) + le(0x010a, 2) + le(0x1129, 2) + blocks;
}
inline std::string vocBlock(int type, const std::string& payload, uint32_t declared = 0) {
  return static_cast<char>(type) + le(declared != 0 ? declared : payload.size(), 3) + payload;
}
// AIFF: a COMM chunk with the rate as 80-bit extended, then other chunks.
inline std::string aiffFile(uint16_t channels, uint32_t frames, uint16_t bits,
                            const std::string& rate80, const std::string& chunks) {
  return "FORM" + be(30 + chunks.size(), 4) + "AIFFCOMM" + be(18, 4) + be(channels, 2) +
         be(frames, 4) + be(bits, 2) + rate80 + chunks;
}

struct StereoCapture {
  std::vector<int16_t> left;
  std::vector<int16_t> right;
  std::size_t frames() const { return left.size(); }
};

// Reads a raw S16LE stereo file after headerBytes (44 for the renderer's
// WAV files), dropping a trailing partial frame; false when unreadable.
bool readStereoCapture(const std::string& path, StereoCapture& capture,
                       std::size_t headerBytes = 0);

// A capture of any number of channels, each as its own sequence.
struct Capture {
  std::vector<std::vector<int16_t>> channels;
  std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Reads a raw S16LE file of `channels` interleaved channels after
// headerBytes, dropping a trailing partial frame; false when unreadable.
bool readCapture(const std::string& path, int channels, Capture& capture,
                 std::size_t headerBytes = 0);

// Root mean square of samples [begin, begin + count), clipped to the data;
// 0 for an empty range.
double rms(const std::vector<int16_t>& samples, std::size_t begin, std::size_t count);

// Amplitude of the component at `frequency` in samples [begin, begin + count)
// (Goertzel), in sample units: a full-window sine of amplitude A gives about A.
double toneAmplitude(const std::vector<int16_t>& samples, std::size_t begin, std::size_t count,
                     double frequency, int rate);

}  // namespace testkit

#endif  // VELUMORA_TESTING_WAV_H_

#ifndef VELUMORA_AUDIO_WAV_WRITER_H_
#define VELUMORA_AUDIO_WAV_WRITER_H_

// The one WAV writer of the project: 16-bit little-endian PCM at any rate
// and channel count. The number of frames is declared up front, so the
// header is written first and is final: the output is never sought back
// into, which lets it stream to a pipe. Data of kRf64DataBytes or more gets
// an RF64 header (EBU Tech 3306: "RF64", a "ds64" chunk with the 64-bit
// sizes, "fmt ", "data"), smaller data a plain RIFF/WAVE one. Mono and
// stereo are plain PCM ("fmt " of 16 bytes); more channels are written as
// WAVE_FORMAT_EXTENSIBLE, with a channel mask that names their speakers
// (such as 0x3F for 5.1), as sox, libsndfile and ffmpeg expect. A writer hands
// its bytes to a sink and refuses more frames than it declared. Nothing is
// shared: any thread may use its own writer, and the static functions are
// safe from any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class WavWriter {
 public:
  // Takes bytes in order; false with error set when they cannot be written.
  using Sink = std::function<bool(const void* data, std::size_t bytes, std::string& error)>;

  // From this data size on, 36 + size no longer fits the 32-bit RIFF size
  // below its 0xFFFFFFFF, which RF64 reserves.
  static constexpr uint64_t kRf64DataBytes = 0xFFFFFFFFull - 36;
  static constexpr std::size_t kRiffHeaderBytes = 44;
  static constexpr std::size_t kRf64HeaderBytes = 80;
  // What WAVE_FORMAT_EXTENSIBLE adds to the "fmt " chunk.
  static constexpr std::size_t kExtensibleBytes = 24;
  static constexpr uint16_t kExtensibleTag = 0xFFFE;

  // The header for dataBytes of 16-bit PCM; channelMask is written for more
  // than two channels (0: no speaker named). False when rate or channels are
  // out of range (rate 1 to 2^31 - 1, channels 1 to 65535, and the byte rate
  // within 32 bits) or dataBytes is not a whole number of frames.
  static bool header(int rate, int channels, uint64_t dataBytes, std::vector<uint8_t>& out,
                     std::string& error, uint32_t channelMask = 0);

  // Writes samples (interleaved, host byte order) as a complete WAV file at
  // path, created with mode 0666 & ~umask or truncated; false with the
  // reason on failure.
  static bool writeFile(const std::string& path, int rate, int channels,
                        const std::vector<int16_t>& samples, std::string& error);

  // A writer of `frames` frames into sink; nothing is written before begin().
  WavWriter(int rate, int channels, uint64_t frames, Sink sink, uint32_t channelMask = 0);

  // Writes the header.
  bool begin(std::string& error);
  // Appends `frames` frames of interleaved samples in host byte order.
  bool writeFrames(const int16_t* samples, std::size_t frames, std::string& error);
  // Appends `frames` frames already in little-endian byte order, such as a
  // mixer's AUDIO_S16LSB buffer.
  bool writeLittleEndian(const void* data, std::size_t frames, std::string& error);
  // True once begin() succeeded and every declared frame was written; the
  // error says how many are missing otherwise.
  bool complete(std::string& error) const;

 private:
  bool reserve(std::size_t frames, std::string& error);

  int rate_;
  int channels_;
  uint32_t channelMask_;
  uint64_t frames_;
  uint64_t written_ = 0;
  bool begun_ = false;
  Sink sink_;
};

#endif  // VELUMORA_AUDIO_WAV_WRITER_H_

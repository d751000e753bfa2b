#ifndef VELUMORA_AUDIO_SAMPLE_H_
#define VELUMORA_AUDIO_SAMPLE_H_

// A decoded sample as the mixer plays it: signed 16-bit stereo frames at the
// mixer's rate, kept behind leadFrames frames of silence. A play that must
// begin k frames into the next mixer buffer starts at the buffer's beginning
// from k frames before the sound, so every note starts on its exact frame.
// Immutable once made; shared by every Note that names the same file and
// read by the audio thread while it plays.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Sample {
 public:
  // withLead: interleaved left and right values, leadFrames frames of
  // silence first (as decodeSample() writes them), taken without a copy.
  // format says what the file was, such as "48 kHz 24-bit stereo FLAC".
  Sample(std::vector<int16_t>&& withLead, uint32_t leadFrames, std::string format);

  uint32_t leadFrames() const { return lead_; }
  // Frames of sound, without the lead.
  uint64_t frames() const { return (data_.size() / 2) - lead_; }
  const std::string& format() const { return format_; }
  // The bytes of a play that begins offset frames (at most leadFrames())
  // into a buffer: that much silence, then the sound.
  const uint8_t* playFrom(uint32_t offset) const;
  std::size_t playBytes(uint32_t offset) const { return (offset + frames()) * 4; }
  // Whether other sounds the same, frame for frame.
  bool sameSound(const Sample& other) const { return lead_ == other.lead_ && data_ == other.data_; }

 private:
  std::vector<int16_t> data_;
  uint32_t lead_;
  std::string format_;
};

#endif  // VELUMORA_AUDIO_SAMPLE_H_

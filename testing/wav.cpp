#include "testing/wav.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "audio/wav_writer.h"

namespace testkit {

constexpr double kPi = 3.14159265358979323846;

bool writeToneWav(const std::string& path, const Tone& tone) {
  const auto frames = static_cast<uint32_t>(std::lround(tone.seconds * tone.rate));
  const double scale = std::clamp(tone.amplitude, 0.0, 1.0) * 32767.0;
  std::vector<int16_t> samples;
  for (uint32_t i = 0; i < frames; ++i) {
    const double value = scale * std::sin(2.0 * kPi * tone.frequency * i / tone.rate);
    samples.insert(samples.end(), static_cast<std::size_t>(tone.channels),
                   static_cast<int16_t>(std::lround(value)));
  }
  std::string error;
  return WavWriter::writeFile(path, tone.rate, tone.channels, samples, error);
}

bool readStereoCapture(const std::string& path, StereoCapture& capture, std::size_t headerBytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  const auto sample = [&bytes](std::size_t i) {
    return static_cast<int16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
  };
  capture = StereoCapture{};
  for (std::size_t at = headerBytes; at + 4 <= bytes.size(); at += 4) {
    capture.left.push_back(sample(at));
    capture.right.push_back(sample(at + 2));
  }
  return true;
}

bool readCapture(const std::string& path, int channels, Capture& capture, std::size_t headerBytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file || channels <= 0) return false;
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  const auto width = static_cast<std::size_t>(channels);
  capture.channels.assign(width, {});
  for (std::size_t at = headerBytes; at + 2 * width <= bytes.size(); at += 2 * width) {
    for (std::size_t channel = 0; channel < width; ++channel) {
      const std::size_t i = at + 2 * channel;
      capture.channels[channel].push_back(
          static_cast<int16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    }
  }
  return true;
}

double rms(const std::vector<int16_t>& samples, std::size_t begin, std::size_t count) {
  const std::size_t end = std::min(samples.size(), begin + count);
  double sum = 0.0;
  for (std::size_t i = begin; i < end; ++i) sum += double(samples[i]) * samples[i];
  return end > begin ? std::sqrt(sum / double(end - begin)) : 0.0;
}

double toneAmplitude(const std::vector<int16_t>& samples, std::size_t begin, std::size_t count,
                     double frequency, int rate) {
  const std::size_t end = std::min(samples.size(), begin + count);
  if (end <= begin || rate <= 0) return 0.0;
  const double coefficient = 2.0 * std::cos(2.0 * kPi * frequency / rate);
  double previous = 0.0, beforePrevious = 0.0;
  for (std::size_t i = begin; i < end; ++i) {
    const double current = samples[i] + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious -
                       coefficient * previous * beforePrevious;
  return 2.0 * std::sqrt(std::max(power, 0.0)) / double(end - begin);
}

}  // namespace testkit

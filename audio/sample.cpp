#include "audio/sample.h"

Sample::Sample(const std::vector<int16_t>& frames, uint32_t leadFrames, int channels)
    : lead_(leadFrames), channels_(channels > 2 ? static_cast<std::size_t>(channels) : 2) {
  const std::size_t count = frames.size() / 2;
  data_.reserve((std::size_t{leadFrames} + count) * channels_);
  data_.assign(std::size_t{leadFrames} * channels_, 0);
  if (channels_ == 2) {
    data_.insert(data_.end(), frames.begin(), frames.begin() + 2 * count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    data_.push_back(frames[2 * i]);
    data_.push_back(frames[2 * i + 1]);
    data_.insert(data_.end(), channels_ - 2, 0);
  }
}

const uint8_t* Sample::playFrom(uint32_t offset) const {
  return reinterpret_cast<const uint8_t*>(data_.data() + channels_ * (lead_ - offset));
}

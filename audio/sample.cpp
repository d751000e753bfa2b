#include "audio/sample.h"

Sample::Sample(const std::vector<int16_t>& frames, uint32_t leadFrames) : lead_(leadFrames) {
  data_.reserve(std::size_t{leadFrames} * 2 + frames.size());
  data_.assign(std::size_t{leadFrames} * 2, 0);
  data_.insert(data_.end(), frames.begin(), frames.end() - (frames.size() % 2));
}

const uint8_t* Sample::playFrom(uint32_t offset) const {
  return reinterpret_cast<const uint8_t*>(data_.data() + 2 * (lead_ - offset));
}

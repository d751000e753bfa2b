#include "audio/sample.h"

#include <algorithm>
#include <utility>

Sample::Sample(std::vector<int16_t>&& withLead, uint32_t leadFrames, std::string format)
    : data_(std::move(withLead)), lead_(leadFrames), format_(std::move(format)) {
  // Whole frames, and at least the lead.
  data_.resize(std::max(data_.size() / 2, std::size_t{leadFrames}) * 2, 0);
}

const uint8_t* Sample::playFrom(uint32_t offset) const {
  return reinterpret_cast<const uint8_t*>(data_.data() + 2 * (lead_ - offset));
}

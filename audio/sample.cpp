#include "audio/sample.h"

#include <algorithm>
#include <utility>

Sample::Sample(std::vector<int16_t>&& withLead, uint32_t leadFrames, std::string format,
               int channels)
    : data_(std::move(withLead)),
      lead_(leadFrames),
      channels_(channels > 2 ? static_cast<std::size_t>(channels) : 2),
      format_(std::move(format)) {
  // Whole frames, and at least the lead.
  const std::size_t frames = std::max(data_.size() / 2, std::size_t{leadFrames});
  data_.resize(frames * channels_, 0);
  if (channels_ == 2) return;
  // Widened where they lie, from the last frame back: a frame's new place
  // begins at or after its old one, so none is overwritten before it moves.
  for (std::size_t i = frames; i-- > 0;) {
    const int16_t left = data_[2 * i], right = data_[2 * i + 1];
    int16_t* frame = data_.data() + channels_ * i;
    std::fill(frame, frame + channels_, int16_t{0});
    frame[0] = left;
    frame[1] = right;
  }
}

const uint8_t* Sample::playFrom(uint32_t offset) const {
  return reinterpret_cast<const uint8_t*>(data_.data() + channels_ * (lead_ - offset));
}

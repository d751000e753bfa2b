#include "audio/surround_panner.h"

#include <SDL_mixer.h>

#include <cmath>

SurroundPanner::SurroundPanner(const SpeakerLayout& layout) : layout_(layout) {
  for (int channel = 0; channel < kMixerChannels; ++channel) {
    placements_[channel].panner = this;
    placements_[channel].channel = channel;
  }
}

bool SurroundPanner::place(int channel, int angle, int distance) {
  if (channel < 0 || channel >= kMixerChannels) {
    Mix_SetError("no such channel: %d", channel);
    return false;
  }
  Placement& placement = placements_[channel];
  double gains[SpeakerLayout::kMostChannels];
  layout_.gains(angle, distance, gains);
  // The speakers that carry it, at most two: the one twice when it alone
  // does, and no matter which (at no gain) when it is too far to be heard.
  placement.speakers[0] = 0;
  int found = 0;
  for (int speaker = 0; speaker < layout_.channels() && found < 2; ++speaker) {
    if (gains[speaker] <= 0.0) continue;
    placement.speakers[found] = speaker;
    placement.gains[found] = std::llround(std::ldexp(gains[speaker], kGainBits));
    ++found;
  }
  if (found == 0) placement.gains[0] = 0;
  if (found < 2) {
    placement.speakers[1] = placement.speakers[0];
    placement.gains[1] = placement.gains[0];
  }
  return Mix_RegisterEffect(channel, &SurroundPanner::effect, nullptr, &placement) != 0;
}

void SurroundPanner::effect(int, void* stream, int bytes, void* placement) {
  const auto& place = *static_cast<const Placement*>(placement);
  const auto frameBytes = static_cast<std::size_t>(place.panner->layout_.channels()) * 2;
  place.panner->pan(place.channel, static_cast<int16_t*>(stream),
                    static_cast<std::size_t>(bytes) / frameBytes);
}

namespace {

// The average of left and right at the two speakers' gains, rounded, and
// silence elsewhere, for a width known when compiled. Gains are at most
// 1 << bits, so every result stays within 16 bits.
template <int kWidth>
void panFrames(const int* speakers, const int64_t* gains, int bits, int16_t* frames,
               std::size_t count) {
  const int first = speakers[0], second = speakers[1];
  const int64_t firstGain = gains[0], secondGain = gains[1];
  const int64_t half = int64_t{1} << bits;  // a half of the sum's unit
  for (std::size_t i = 0; i < count; ++i) {
    int16_t* frame = frames + kWidth * i;
    const int64_t sum = int64_t{frame[0]} + frame[1];
    const auto atFirst = static_cast<int16_t>((sum * firstGain + half) >> (bits + 1));
    const auto atSecond = static_cast<int16_t>((sum * secondGain + half) >> (bits + 1));
    for (int speaker = 0; speaker < kWidth; ++speaker) frame[speaker] = 0;
    frame[first] = atFirst;
    frame[second] = atSecond;
  }
}

}  // namespace

void SurroundPanner::pan(int channel, int16_t* frames, std::size_t count) const {
  const Placement& placement = placements_[channel];
  if (layout_.channels() == 6) {
    return panFrames<6>(placement.speakers, placement.gains, kGainBits, frames, count);
  }
  panFrames<4>(placement.speakers, placement.gains, kGainBits, frames, count);
}

#include "audio/speaker_layout.h"

#include <cmath>

namespace {

constexpr double kHalfPi = 1.57079632679489661923;

constexpr SpeakerLayout::Speaker kStereo[] = {{"FL", 270}, {"FR", 90}};
constexpr SpeakerLayout::Speaker kQuad[] = {{"FL", 315}, {"FR", 45}, {"RL", 225}, {"RR", 135}};
// ITU-R BS.775: fronts at 30 degrees either side of the centre, surrounds
// at 110.
constexpr SpeakerLayout::Speaker kSurround51[] = {{"FL", 330}, {"FR", 30},  {"C", 0},
                                                  {"LFE", -1}, {"RL", 250}, {"RR", 110}};

const SpeakerLayout kLayouts[] = {
    {"stereo", 2, 0x3, kStereo},
    {"quad", 4, 0x33, kQuad},
    {"5.1", 6, 0x3F, kSurround51},
};

int wrap(int angle) { return ((angle % 360) + 360) % 360; }

}  // namespace

const SpeakerLayout* SpeakerLayout::of(int channels) {
  for (const SpeakerLayout& layout : kLayouts) {
    if (layout.channels() == channels) return &layout;
  }
  return nullptr;
}

std::string SpeakerLayout::describe() const {
  return std::string(name_) + " (" + std::to_string(channels_) + " channels)";
}

void SpeakerLayout::gains(int angle, int distance, double* out) const {
  const int at = wrap(angle);
  // The nearest speaker at or before the angle, going clockwise, and the
  // nearest after it.
  int before = -1, after = -1, sinceBefore = 360, untilAfter = 360;
  for (int channel = 0; channel < channels_; ++channel) {
    out[channel] = 0.0;
    if (speakers_[channel].angle < 0) continue;
    const int since = wrap(at - speakers_[channel].angle);
    if (since < sinceBefore) {
      sinceBefore = since;
      before = channel;
    }
    const int until = wrap(speakers_[channel].angle - at);
    if (until > 0 && until < untilAfter) {
      untilAfter = until;
      after = channel;
    }
  }
  if (before < 0) return;
  const double level = (255.0 - std::fmin(std::fmax(distance, 0), 255)) / 255.0;
  if (sinceBefore == 0 || after < 0) {
    out[before] = level;
    return;
  }
  const double share = kHalfPi * sinceBefore / (sinceBefore + untilAfter);
  out[before] = level * std::cos(share);
  out[after] = level * std::sin(share);
}

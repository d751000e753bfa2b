// The level of the whole mix: transparent below -3 dBFS, never clipping
// above, and fades on their frames.

#include "audio/mix_envelope.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MixEnvelope, LimiterIsTransparentBelowTheKneeAndNeverReachesFullScale) {
  for (double value : {0.0, 0.1, -0.5, 0.7, -0.7079}) EXPECT_EQ(MixEnvelope::limit(value), value);
  double previous = MixEnvelope::kKnee;
  for (double value = 0.75; value <= MixEnvelope::kHeadroom; value += 0.25) {
    const double limited = MixEnvelope::limit(value);
    EXPECT_GT(limited, previous) << value;
    EXPECT_LT(limited, MixEnvelope::kCeiling) << value;
    EXPECT_EQ(MixEnvelope::limit(-value), -limited);
    previous = limited;
  }
  // Six tones of half scale, mixed with headroom, come out unclipped.
  MixEnvelope envelope;
  std::vector<int16_t> mix(2, static_cast<int16_t>(6 * 16384 / MixEnvelope::kHeadroom));
  envelope.apply(mix.data(), 1, 0);
  EXPECT_LT(mix[0], 32767);
  EXPECT_GT(mix[0], 30000);
}

TEST(MixEnvelope, VolumeAndFadesFollowTheFrames) {
  MixEnvelope envelope;
  envelope.setVolume(0.5);
  envelope.fadeIn(100, 100);
  envelope.fadeOut(1000, 400);
  envelope.fadeOut(2000, 400);  // a later fade out does not postpone the first
  EXPECT_EQ(envelope.silentFrom(), 1400u);
  const struct {
    uint64_t frame;
    int16_t level;
  } cases[] = {{50, 0}, {150, 1000}, {200, 2000}, {900, 2000}, {1200, 1000}, {1400, 0}, {5000, 0}};
  for (const auto& c : cases) {
    const int16_t quarter = 4000 / MixEnvelope::kHeadroom;
    int16_t frame[2] = {quarter, static_cast<int16_t>(-quarter)};
    envelope.apply(frame, 1, c.frame);
    EXPECT_EQ(frame[0], c.level) << c.frame;
    EXPECT_EQ(frame[1], -c.level) << c.frame;
  }
}

}  // namespace

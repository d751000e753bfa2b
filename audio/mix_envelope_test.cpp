// The level of the whole mix: transparent below -3 dBFS, never clipping
// above, and fades on their frames.

#include "audio/mix_envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
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
  // The knee in 16-bit values: the last one left alone, and the next past it.
  EXPECT_LE(MixEnvelope::kKneeValue / 32768.0, MixEnvelope::kKnee);
  EXPECT_GT((MixEnvelope::kKneeValue + 1) / 32768.0, MixEnvelope::kKnee);
  // Six tones of half scale, mixed with headroom, come out unclipped.
  MixEnvelope envelope;
  std::vector<int16_t> mix(2, static_cast<int16_t>(6 * 16384 / MixEnvelope::kHeadroom));
  envelope.apply(mix.data(), 1, 2, 0);
  EXPECT_LT(mix[0], 32767);
  EXPECT_GT(mix[0], 30000);
}

// What every value becomes at the gain of the headroom alone, computed in
// full: the integer path must give exactly this.
void expectAsInFull(MixEnvelope& envelope, std::vector<int16_t> mix, int channels, uint64_t frame,
                    const char* name) {
  std::vector<int16_t> expected(mix.size());
  std::transform(mix.begin(), mix.end(), expected.begin(), [](int16_t value) {
    const double shaped = MixEnvelope::limit(value * double(MixEnvelope::kHeadroom) / 32768.0);
    return static_cast<int16_t>(std::clamp(std::lround(shaped * 32768.0), -32768L, 32767L));
  });
  envelope.apply(mix.data(), mix.size() / channels, channels, frame);
  EXPECT_EQ(mix, expected) << name;
}

TEST(MixEnvelope, TheUsualBufferComesOutAsTheFullComputationGivesIt) {
  std::mt19937 random(7);
  const int16_t knee = MixEnvelope::kKneeValue / MixEnvelope::kHeadroom;
  const struct {
    const char* name;
    int16_t most;  // values drawn from -most to most
    int channels;
  } cases[] = {
      {"quiet stereo", 1000, 2},
      {"up to the knee", knee, 2},
      {"just past the knee", static_cast<int16_t>(knee + 1), 2},
      {"loud stereo", 32767, 2},
      {"loud 5.1", 32767, 6},
      {"quiet quad", 3000, 4},
  };
  MixEnvelope envelope;
  for (const auto& c : cases) {
    std::uniform_int_distribution<int> draw(-c.most, c.most);
    std::vector<int16_t> mix(512 * static_cast<std::size_t>(c.channels));
    for (int16_t& value : mix) value = static_cast<int16_t>(draw(random));
    mix[7] = c.most;  // the edge itself
    expectAsInFull(envelope, mix, c.channels, 1000, c.name);
  }
  std::vector<int16_t> all;
  for (int value = -32768; value <= 32767; ++value) all.push_back(static_cast<int16_t>(value));
  expectAsInFull(envelope, all, 2, 0, "every 16-bit value");
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
    envelope.apply(frame, 1, 2, c.frame);
    EXPECT_EQ(frame[0], c.level) << c.frame;
    EXPECT_EQ(frame[1], -c.level) << c.frame;
  }
}

TEST(MixEnvelope, AFadeReachesEveryChannelOfItsFramesAndNoOthers) {
  // At full volume a buffer is faded only where a fade runs: the frames
  // before the fade out begins keep their level, whatever the buffer.
  MixEnvelope envelope;
  envelope.fadeOut(1000, 100);
  constexpr int kChannels = 6;
  std::vector<int16_t> mix(200 * kChannels, 1000);
  envelope.apply(mix.data(), 200, kChannels, 900);
  for (int frame : {0, 100, 150, 199}) {
    const int16_t level = frame <= 100 ? 4000 : static_cast<int16_t>(4000 - 40 * (frame - 100));
    for (int channel = 0; channel < kChannels; ++channel) {
      EXPECT_EQ(mix[frame * kChannels + channel], level) << frame << " " << channel;
    }
  }
  // A buffer that ends on the fade's first frame is left whole.
  std::vector<int16_t> before(100 * kChannels, 1000);
  envelope.apply(before.data(), 100, kChannels, 901);
  EXPECT_EQ(before, std::vector<int16_t>(100 * kChannels, 4000));
}

}  // namespace

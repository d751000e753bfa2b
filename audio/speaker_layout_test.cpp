// Where a sound at an angle is heard on quad and 5.1, at every whole degree:
// by at most two speakers, neighbours on the circle, at constant power.

#include "audio/speaker_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SpeakerLayout, EveryDegreeIsHeardFromTwoNeighboursAtConstantPower) {
  for (const int channels : {4, 6}) {
    const SpeakerLayout& layout = *SpeakerLayout::of(channels);
    for (int angle = -360; angle <= 720; ++angle) {
      double gains[SpeakerLayout::kMostChannels];
      layout.gains(angle, 0, gains);
      double power = 0;
      int heard = 0;
      for (int channel = 0; channel < channels; ++channel) {
        power += gains[channel] * gains[channel];
        if (gains[channel] <= 0) continue;
        ++heard;
        // A speaker that carries it lies within the sector around the angle:
        // no more than 140 degrees (5.1's widest gap) away.
        const int away =
            std::abs(((angle - layout.speaker(channel).angle) % 360 + 540) % 360 - 180);
        EXPECT_LT(away, 140) << channels << " " << angle << " " << layout.speaker(channel).name;
      }
      EXPECT_NEAR(power, 1.0, 1e-9) << channels << " " << angle;
      EXPECT_GE(heard, 1);
      EXPECT_LE(heard, 2);
      // The same as the angle a turn further on.
      double turned[SpeakerLayout::kMostChannels];
      layout.gains(angle + 360, 0, turned);
      for (int channel = 0; channel < channels; ++channel) {
        EXPECT_NEAR(turned[channel], gains[channel], 1e-12);
      }
    }
  }
}

TEST(SpeakerLayout, DistanceAttenuatesAndTheLfeStaysSilent) {
  const SpeakerLayout& surround = *SpeakerLayout::of(6);
  EXPECT_EQ(surround.describe(), "5.1 (6 channels)");
  EXPECT_EQ(surround.channelMask(), 0x3Fu);
  EXPECT_EQ(SpeakerLayout::of(4)->channelMask(), 0x33u);
  EXPECT_EQ(SpeakerLayout::of(2)->describe(), "stereo (2 channels)");
  EXPECT_EQ(SpeakerLayout::of(3), nullptr);
  double gains[SpeakerLayout::kMostChannels];
  for (const auto& [distance, level] : {std::pair{0, 1.0}, {100, 155.0 / 255}, {255, 0.0}}) {
    surround.gains(0, distance, gains);
    EXPECT_DOUBLE_EQ(gains[2], level) << distance;  // the centre, alone
    for (int angle = 0; angle < 360; angle += 5) {
      surround.gains(angle, distance, gains);
      EXPECT_EQ(gains[3], 0.0) << angle;
    }
  }
}

}  // namespace

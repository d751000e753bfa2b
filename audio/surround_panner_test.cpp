// What the effect does to a channel's frames: the average of left and right
// at the two speakers' gains, silence elsewhere, and never a wrapped value
// however loud the sample.

#include "audio/surround_panner.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

class SurroundPannerTest : public ::testing::Test {
 protected:
  // The effect is registered with SDL_mixer, which must be open.
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(48000, AUDIO_S16LSB, 6, 1024), 0) << SDL_GetError();
    Mix_AllocateChannels(SurroundPanner::kMixerChannels);
  }
  static void TearDownTestSuite() {
    Mix_CloseAudio();
    SDL_Quit();
  }
};

TEST_F(SurroundPannerTest, GivesTheTwoSpeakersTheirShareOfTheAverage) {
  SurroundPanner panner(*SpeakerLayout::of(6));
  // Frames of left and right (the rest of each frame is the sample's
  // silence, here filled to show that it is overwritten).
  const int16_t pairs[][2] = {{1000, 3000}, {32767, 32767}, {-32768, -32768}, {32767, -32768}};
  const struct {
    int angle;
    int distance;
    int16_t expected[4][6];  // FL FR C LFE RL RR
  } cases[] = {
      {0, 0, {{0, 0, 2000, 0, 0, 0}, {0, 0, 32767, 0, 0, 0}, {0, 0, -32768, 0, 0, 0}, {}}},
      // Half-way between the rears: 1/sqrt(2) each.
      {180,
       0,
       {{0, 0, 0, 0, 1414, 1414},
        {0, 0, 0, 0, 23170, 23170},
        {0, 0, 0, 0, -23170, -23170},
        {0, 0, 0, 0, 0, 0}}},
      {30, 155, {{0, 784, 0, 0, 0, 0}, {0, 12850, 0, 0, 0, 0}, {0, -12850, 0, 0, 0, 0}, {}}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(panner.place(3, c.angle, c.distance)) << SDL_GetError();
    std::vector<int16_t> frames;
    for (const auto& pair : pairs) frames.insert(frames.end(), {pair[0], pair[1], 9, 9, 9, 9});
    panner.pan(3, frames.data(), 4);
    for (int frame = 0; frame < 4; ++frame) {
      for (int speaker = 0; speaker < 6; ++speaker) {
        EXPECT_EQ(frames[6 * frame + speaker], c.expected[frame][speaker])
            << c.angle << " frame " << frame << " speaker " << speaker;
      }
    }
  }
  Mix_UnregisterAllEffects(3);
}

}  // namespace

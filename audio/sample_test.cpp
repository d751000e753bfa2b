// A sample in the mixer's format: behind its lead of silence, each frame
// widened to the mixer's channels with left and right first.

#include "audio/sample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(Sample, IsWidenedToTheMixersChannelsBehindItsLead) {
  const struct {
    int channels;
    std::vector<int16_t> played;  // from two frames before the sound
  } cases[] = {
      {2, {0, 0, 0, 0, 1, -2, 3, -4, 5, -6}},
      {4, {0, 0, 0, 0, 0, 0, 0, 0, 1, -2, 0, 0, 3, -4, 0, 0, 5, -6, 0, 0}},
      {6, {0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0,  0, 1, -2, 0,
           0, 0, 0, 3, -4, 0, 0, 0, 0, 5, -6, 0, 0, 0,  0}},
  };
  for (const auto& c : cases) {
    // Three frames behind a lead of four, and half a frame that is dropped.
    std::vector<int16_t> withLead = {0, 0, 0, 0, 0, 0, 0, 0, 1, -2, 3, -4, 5, -6, 7};
    const Sample sample(std::move(withLead), 4, "test", c.channels);
    EXPECT_EQ(sample.frames(), 3u) << c.channels;
    ASSERT_EQ(sample.playBytes(2), c.played.size() * 2) << c.channels;
    std::vector<int16_t> played(c.played.size());
    std::memcpy(played.data(), sample.playFrom(2), sample.playBytes(2));
    EXPECT_EQ(played, c.played) << c.channels;
  }
}

}  // namespace

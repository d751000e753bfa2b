// The measuring helpers that the audio tests rely on: a broken measure
// would let those tests pass on silence.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

std::vector<int16_t> sine(double frequency, double amplitude, std::size_t frames, int rate) {
  std::vector<int16_t> samples;
  for (std::size_t i = 0; i < frames; ++i)
    samples.push_back(static_cast<int16_t>(
        std::lround(amplitude * std::sin(2.0 * 3.14159265358979323846 * frequency * i / rate))));
  return samples;
}

struct ToneCase {
  double frequency;
  double other;
};

void PrintTo(const ToneCase& c, std::ostream* os) { *os << c.frequency << " Hz"; }

class ToneMeasure : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ToneMeasure, FindsTheToneThatIsThere) {
  const ToneCase& c = GetParam();
  const std::vector<int16_t> samples = sine(c.frequency, 10000, 4096, 22050);
  EXPECT_NEAR(testkit::toneAmplitude(samples, 0, 4096, c.frequency, 22050), 10000, 300);
  EXPECT_LT(testkit::toneAmplitude(samples, 0, 4096, c.other, 22050), 300);
  EXPECT_EQ(testkit::dominantFrequency(samples, 0, 4096, 22050, {c.other, c.frequency}),
            c.frequency);
  EXPECT_NEAR(testkit::rms(samples), 10000 / std::sqrt(2.0), 100);
  EXPECT_NEAR(testkit::peak(samples), 10000, 10);
}

INSTANTIATE_TEST_SUITE_P(Harness, ToneMeasure,
                         ::testing::Values(ToneCase{440, 1320}, ToneCase{1320, 440},
                                           ToneCase{1000, 2000}));

TEST(WavTest, StereoCaptureSplitsInterleavedFrames) {
  testkit::TempDir dir;
  // Frames (1, -2), (32767, -32768) and half a frame that is dropped.
  const std::string raw("\x01\x00\xfe\xff\xff\x7f\x00\x80\x05\x00", 10);
  ASSERT_TRUE(dir.write("out.raw", raw));
  testkit::StereoCapture capture;
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("out.raw"), 22050, capture));
  EXPECT_EQ(capture.left, (std::vector<int16_t>{1, 32767}));
  EXPECT_EQ(capture.right, (std::vector<int16_t>{-2, -32768}));
}

TEST(WavTest, ToneFileHasPcmHeaderAndLength) {
  testkit::TempDir dir;
  testkit::Tone tone;
  tone.rate = 11025;
  tone.channels = 2;
  tone.seconds = 0.1;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("t.wav"), tone));
  testkit::StereoCapture whole;  // read back as raw bytes, header included
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("t.wav"), 11025, whole));
  // 44 header bytes (11 frames of 4) and 1103 stereo frames.
  EXPECT_EQ(whole.frames(), 11u + 1103u);
  // Bytes 22..25: channel count 2 and rate 11025 (0x2b11).
  EXPECT_EQ(whole.right[5], 2);
  EXPECT_EQ(whole.left[6], 11025);
}

}  // namespace

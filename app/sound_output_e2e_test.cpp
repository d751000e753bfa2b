// What is really heard: the program runs on SDL's disk audio driver, which
// writes the mixed output (signed 16-bit little-endian stereo at 22050 Hz)
// to a file, and the tests measure that file.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "testing/host.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/velumora_run.h"
#include "testing/wav.h"

namespace {

using testkit::kPatience;
using testkit::StereoCapture;
using testkit::TempDir;

// 22050 Hz on classic SDL, 44100 Hz on sdl12-compat.
const int kOutputRate = testkit::diskAudioRate();
constexpr double kToneAmplitude = 0.5;  // of full scale

// Runs the playlist (one song named x that ends by itself) to its end, then
// quits, and reads what was heard.
void playAndCapture(const TempDir& dir, const std::string& playlist, StereoCapture& capture) {
  ASSERT_TRUE(dir.write("playlist.txt", playlist));
  auto run = testkit::startVelumora(dir, {}, testkit::diskAudioEnv(dir.file("out.raw")));
  ASSERT_TRUE(run);
  ASSERT_TRUE(run->waitForOutput("x done\n", kPatience));
  ASSERT_TRUE(run->write("q\n"));
  ASSERT_EQ(run->waitForExit(kPatience), 0) << run->output();
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("out.raw"), kOutputRate, capture));
  ASSERT_GT(capture.frames(), std::size_t(kOutputRate / 2)) << "capture too short";
}

// ---------------------------------------------------------------------------
// Angle: 90 degrees is the right side only, 270 the left only, 0 and 180
// both sides alike; at distance 0 nothing is attenuated.

enum class Side { kLeft, kRight, kBoth };

struct AngleCase {
  const char* name;
  int angle;
  Side heard;
};

void PrintTo(const AngleCase& c, std::ostream* os) { *os << c.name; }

class Angle : public ::testing::TestWithParam<AngleCase> {};

TEST_P(Angle, SoundIsHeardOnlyOnItsSide) {
  const AngleCase& c = GetParam();
  TempDir dir;
  testkit::Tone tone;
  tone.frequency = 1000;
  tone.seconds = 0.3;
  tone.amplitude = kToneAmplitude;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tone.wav"), tone));
  StereoCapture capture;
  // Several starts: each must be placed from its very first sample.
  playAndCapture(dir, "x=(_main=(\"tone.wav\",400);_param=4," + std::to_string(c.angle) + ",0);\n",
                 capture);
  if (HasFatalFailure()) return;

  const double left = testkit::rms(capture.left);
  const double right = testkit::rms(capture.right);
  const int fullPeak = static_cast<int>(kToneAmplitude * 32767);
  switch (c.heard) {
    case Side::kRight:
      EXPECT_GT(right, 1000.0);
      EXPECT_GT(testkit::peak(capture.right), fullPeak * 9 / 10);
      EXPECT_LT(testkit::peak(capture.left), fullPeak / 100) << "left rms " << left;
      break;
    case Side::kLeft:
      EXPECT_GT(left, 1000.0);
      EXPECT_GT(testkit::peak(capture.left), fullPeak * 9 / 10);
      EXPECT_LT(testkit::peak(capture.right), fullPeak / 100) << "right rms " << right;
      break;
    case Side::kBoth:
      EXPECT_GT(left, 1000.0);
      EXPECT_GT(right, 1000.0);
      EXPECT_NEAR(left / right, 1.0, 0.1);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sounds, Angle,
    ::testing::Values(AngleCase{"Right", 90, Side::kRight}, AngleCase{"Left", 270, Side::kLeft},
                      AngleCase{"Ahead", 0, Side::kBoth}, AngleCase{"Behind", 180, Side::kBoth}),
    [](const ::testing::TestParamInfo<AngleCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// A weighted choice never picks a child of weight 0.

struct ChoiceCase {
  const char* name;
  const char* weights;
  double heard;  // Hz
  double never;  // Hz
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class Choice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(Choice, ZeroWeightIsNeverHeard) {
  const ChoiceCase& c = GetParam();
  TempDir dir;
  testkit::Tone low;
  low.frequency = 440;
  low.seconds = 0.15;
  low.amplitude = kToneAmplitude;
  testkit::Tone high = low;
  high.frequency = 1320;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("low.wav"), low));
  ASSERT_TRUE(testkit::writeToneWav(dir.file("high.wav"), high));
  StereoCapture capture;
  playAndCapture(
      dir,
      std::string("x=(_main=((\"low.wav\":\"high.wav\"=") + c.weights + "),150);_param=10,0,0);\n",
      capture);
  if (HasFatalFailure()) return;

  constexpr std::size_t kWindow = 1024;  // about 46 ms
  int soundingWindows = 0;
  double loudestHeard = 0.0, loudestNever = 0.0;
  for (std::size_t at = 0; at + kWindow <= capture.frames(); at += kWindow) {
    for (const std::vector<int16_t>* side : {&capture.left, &capture.right}) {
      const double heard = testkit::toneAmplitude(*side, at, kWindow, c.heard, kOutputRate);
      const double never = testkit::toneAmplitude(*side, at, kWindow, c.never, kOutputRate);
      loudestHeard = std::max(loudestHeard, heard);
      loudestNever = std::max(loudestNever, never);
      if (testkit::rms(*side, at, kWindow) > 2000.0) {
        ++soundingWindows;
        EXPECT_EQ(testkit::dominantFrequency(*side, at, kWindow, kOutputRate, {c.heard, c.never}),
                  c.heard)
            << "window at frame " << at;
      }
    }
  }
  // Ten plays of 150 ms give about thirty windows per side.
  EXPECT_GE(soundingWindows, 10);
  EXPECT_GT(loudestHeard, 0.5 * kToneAmplitude * 32767);
  EXPECT_LT(loudestNever, 0.05 * loudestHeard);
}

INSTANTIATE_TEST_SUITE_P(Sounds, Choice,
                         ::testing::Values(ChoiceCase{"FirstOnly", "1:0", 440, 1320},
                                           ChoiceCase{"SecondOnly", "0:1", 1320, 440},
                                           ChoiceCase{"HeavyFirstOnly", "1000:0", 440, 1320}),
                         [](const ::testing::TestParamInfo<ChoiceCase>& info) {
                           return info.param.name;
                         });

}  // namespace

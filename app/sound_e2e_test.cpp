// What a listener hears, from the real mixer: the live program captured on
// SDL's disk driver against velumora-render, sample for sample; loops without
// gaps; every song on its side.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "testing/child.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::StereoCapture;
using testkit::TempDir;
using testkit::Tone;

constexpr char kPlaylist[] =
    // A 1.5 s tone looped on the left; two tones by chance and random pauses
    // on the right, with ticks.
    "loop=(_main=(\"loop.wav\",1500);_param=_infinite,270,0);"
    "chance=(_main=((\"a.wav\":\"b.flac\"=3:1),300to700);_param=_infinite,90,0);"
    "tick=(_main=(\"tick.wav\",1000);_param=_infinite,90,0);";

void writeSamples(const TempDir& dir) {
  ASSERT_TRUE(testkit::writeToneWav(dir.file("loop.wav"), Tone{440, 1.5, 0.3}));
  // The chance's tones as recorders write them: 32-bit float WAV, and
  // 24-bit FLAC at 48 kHz.
  ASSERT_EQ(std::system(("cd '" + dir.path() +
                         "' && sox -n -r 44100 -e floating-point -b 32 a.wav synth 0.25 sine 660 "
                         "vol 0.2 && sox -n -r 48000 -c 2 -b 24 b.flac synth 0.25 sine 880 vol 0.2")
                            .c_str()),
            0);
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tick.wav"), Tone{2000, 0.01, 0.2}));
  ASSERT_TRUE(dir.write("p.txt", kPlaylist));
}

std::size_t firstSound(const StereoCapture& capture) {
  std::size_t i = 0;
  while (i < capture.frames() && capture.left[i] == 0 && capture.right[i] == 0) ++i;
  return i;
}

// The level of the loop in 10 ms windows stays within 1 dB across its joins.
void expectSteadyLoop(const StereoCapture& capture, std::size_t from, std::size_t frames) {
  double low = 1e9, high = 0;
  for (std::size_t at = from; at + 220 < from + frames; at += 220) {
    const double level = testkit::rms(capture.left, at, 220);
    low = std::min(low, level);
    high = std::max(high, level);
  }
  EXPECT_LT(20 * std::log10(high / low), 1.0) << low << " to " << high;
}

// The live mix exactly as rendered is compared only where the build plays it
// so (not on sdl12-compat, whose disk driver runs at 44.1 kHz, nor in
// instrumented builds).
bool exact() { return !testkit::onCompat() && !testkit::kSanitized; }

// p.txt of dir played live for `seconds` and rendered for two more, with
// the same seed, each from its first sound on.
struct Both {
  StereoCapture heard, rendered;
  std::size_t start = 0, first = 0;
  // Frames from the first sounds on that differ between the two.
  std::size_t differing(std::size_t frames) const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < frames; ++i) {
      count += heard.left[start + i] != rendered.left[first + i] ||
               heard.right[start + i] != rendered.right[first + i];
    }
    return count;
  }
};
void playBoth(const TempDir& dir, int seconds, Both& both) {
  testkit::Child live(testkit::kVelumora, {"--seed", "5", "p.txt"}, dir.path(),
                      testkit::diskEnv(dir.file("live.raw")));
  ASSERT_TRUE(live.waitFor(testkit::kStarted));
  live.runsAfter((seconds + 1) * 1000);
  live.write("q\n");
  EXPECT_EQ(live.wait(), 0);
  const auto render = testkit::runToEnd(
      testkit::kRender, {"p.txt", "r.wav", "--seconds", std::to_string(seconds + 2), "--seed", "5"},
      dir.path());
  ASSERT_EQ(render.status, 0) << render.out;
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("live.raw"), both.heard));
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("r.wav"), both.rendered, 44));
  both.start = firstSound(both.heard);
  both.first = firstSound(both.rendered);
  ASSERT_GE(both.heard.frames(), both.start + std::size_t(seconds) * 22050);
}

TEST(Sound, LiveEqualsRenderedAndEverySongIsOnItsSide) {
  TempDir dir;
  writeSamples(dir);
  // Twelve seconds are compared sample for sample where they can be;
  // elsewhere five are heard.
  const int seconds = exact() ? 12 : 5;
  Both both;
  playBoth(dir, seconds, both);
  const StereoCapture& rendered = both.rendered;
  const std::size_t frames = seconds * 22050;
  if (exact()) {
    EXPECT_EQ(both.differing(frames), 0u);
  }
  expectSteadyLoop(both.heard, both.start, frames);
  expectSteadyLoop(rendered, both.first, frames);
  // The loop is heard on the left only, the chance and the ticks on the right only.
  EXPECT_GT(testkit::toneAmplitude(rendered.left, 0, frames, 440, 22050), 5000);
  EXPECT_LT(testkit::toneAmplitude(rendered.right, 0, frames, 440, 22050), 50);
  EXPECT_GT(testkit::toneAmplitude(rendered.right, 0, frames, 660, 22050), 100);
  EXPECT_GT(testkit::toneAmplitude(rendered.right, 0, frames, 880, 22050), 30);
  EXPECT_LT(testkit::toneAmplitude(rendered.left, 0, frames, 660, 22050), 5);
}

TEST(Sound, ASongThatNeverPausesRepeatsAsOftenRenderedAsLive) {
  // Once per 512 frames in both, though the renderer mixes 2048 at a time.
  TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tick.wav"), Tone{2000, 0.005, 0.3}));
  ASSERT_TRUE(dir.write("p.txt", "idle=(_main=\"tick.wav\";_param=_infinite,0,0);"));
  Both both;
  playBoth(dir, 1, both);
  // 110 frames of tone, then silence to the next 512-frame step.
  for (std::size_t step = 0; step < 40; ++step) {
    const std::size_t at = both.first + 512 * step;
    EXPECT_GT(testkit::rms(both.rendered.left, at, 100), 1000) << step;
    EXPECT_EQ(testkit::rms(both.rendered.left, at + 120, 380), 0) << step;
  }
  if (exact()) {
    EXPECT_EQ(both.differing(22050), 0u);
  }
}

TEST(Sound, FadesAndTheSleepTimerShapeTheMix) {
  TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("hum.wav"), Tone{440, 1.0, 0.5}));
  // One song, faded in and out over two seconds each.
  ASSERT_TRUE(dir.write("one.txt", "s=(_main=(\"hum.wav\",1000);_param=_infinite,0,100);"));
  const auto render = testkit::runToEnd(
      testkit::kRender, {"one.txt", "r.wav", "--seconds", "6", "--fade-in", "2", "--fade-out", "2"},
      dir.path());
  ASSERT_EQ(render.status, 0) << render.out;
  EXPECT_NE(render.out.find("\nrendering 6 seconds into \"r.wav\" with seed "), std::string::npos)
      << render.out;
  // A 44-byte header, then six seconds of 16-bit stereo.
  EXPECT_EQ(std::filesystem::file_size(dir.file("r.wav")), 44u + 6 * 22050 * 4);
  StereoCapture mix;
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("r.wav"), mix, 44));
  const double full = testkit::rms(mix.left, 3 * 22050, 22050);
  // A half-scale tone at distance 100 plays at its own level, 0.5 * 155/255:
  // with the channels' headroom given back, and under the limiter's knee.
  EXPECT_NEAR(full, 0.5 * 32767 * 155 / 255 / std::sqrt(2.0), 150);
  EXPECT_NEAR(testkit::rms(mix.left, 22050 - 1102, 2205) / full, 0.5, 0.08);
  EXPECT_NEAR(testkit::rms(mix.left, 5 * 22050 - 1102, 2205) / full, 0.5, 0.08);
  EXPECT_LT(testkit::rms(mix.left, 6 * 22050 - 220, 220), 0.02 * full);

  // Live: faded in, then faded out when the sleep timer ends, exit 0.
  const auto started = std::chrono::steady_clock::now();
  const auto live = testkit::runToEnd(
      testkit::kVelumora, {"--fade-in", "1", "--sleep", "3s", "--fade-out", "1", "one.txt"},
      dir.path(), testkit::diskEnv(dir.file("live.raw")));
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(live.status, 0);
  EXPECT_NE(live.out.find("sleep timer: ending\nterminating all threads...\n"), std::string::npos)
      << live.out;
  EXPECT_GT(took, 3.9);
  EXPECT_LT(took, 6.0);
  StereoCapture heard;
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("live.raw"), heard));
  const std::size_t start = firstSound(heard);
  const int rate = testkit::diskRate();
  const double level = testkit::rms(heard.left, start + 2 * rate, rate / 2);
  EXPECT_GT(level, 3000);
  EXPECT_LT(testkit::rms(heard.left, start + rate / 10, rate / 10), 0.3 * level);
  EXPECT_LT(testkit::rms(heard.left, heard.frames() - rate / 10, rate / 10), 0.05 * level);
}

}  // namespace

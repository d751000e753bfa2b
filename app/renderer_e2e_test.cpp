// velumora-render as a user runs it: the file it writes, its timing and
// pitch, that one seed gives one file, and how it fails.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "testing/child.h"
#include "testing/programs.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::kRender;
using testkit::runToEnd;
using testkit::StereoCapture;
using testkit::TempDir;

TEST(Render, WritesTheMixAtItsTrueTimeAndPitch) {
  TempDir dir;
  // One-second 440 Hz tones at rates the classic converter gets wrong, two
  // seconds apart, the second at 48 kHz and stereo.
  ASSERT_TRUE(testkit::writeToneWav(dir.file("low.wav"), {440, 1.0, 0.3, 8000, 1}));
  ASSERT_TRUE(testkit::writeToneWav(dir.file("high.wav"), {440, 1.0, 0.3, 48000, 2}));
  ASSERT_TRUE(dir.write("p.txt", "t=(_main=(\"low.wav\",2000,\"high.wav\",2000);_param=1,0,0);"));
  const auto run =
      runToEnd(kRender, {"p.txt", "out.wav", "--seconds", "5", "--seed", "1"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("rendering 5 seconds into \"out.wav\" with seed 1\nplaying 1 time(s) "
                         "of \"t\"\nt done\n"),
            std::string::npos)
      << run.out;
  // A 44-byte header, then five seconds of 16-bit stereo.
  EXPECT_EQ(std::filesystem::file_size(dir.file("out.wav")), 44u + 5 * 22050 * 4);
  StereoCapture mix;
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("out.wav"), 22050, mix, 44));
  for (std::size_t start : {0u, 2u * 22050}) {
    // Sound for one second (within 0.5 %), then silence, at 440 Hz.
    EXPECT_GT(testkit::rms(mix.left, start + 21900, 100), 1000) << start;
    EXPECT_EQ(testkit::rms(mix.left, start + 22200, 1000), 0) << start;
    EXPECT_GT(testkit::toneAmplitude(mix.left, start, 22000, 440, 22050),
              4 * testkit::toneAmplitude(mix.left, start, 22000, 437.8, 22050))
        << start;
  }
}

TEST(Render, FailsWithoutLeavingAFileAndNeverWritesOverItsInput) {
  TempDir dir;
  ASSERT_TRUE(dir.write("p.txt", "x=(_main=(\"none.wav\",1));"));
  ASSERT_TRUE(dir.write("ok.txt", "r=(_main=100;_param=_infinite,0,0);"));
  // Each run prints its exit status, then the files it left and the
  // playlist's first bytes.
  const std::pair<const char*, const char*> cases[] = {
      {"p.txt o.wav", "1\n"},
      {"none.txt o.wav", "1\n"},
      {"ok.txt missing/o.wav", "1\n"},
      {"ok.txt", "2\n"},
      {"ok.txt o.wav --seconds 0", "2\n"},
      {"ok.txt o.wav --seed -1", "2\n"},
      {"ok.txt ok.txt", "1\n"},
      // The WAV on standard output; the words beside it on standard error.
      {"ok.txt - --seconds 1 2>err | head -c 4; grep -c rendering err", "RIFF0\n"},
  };
  for (const auto& [args, out] : cases) {
    const std::string script = std::string(kRender) + " " + args +
                               " >/dev/null 2>&1; echo $?; ls *.wav* 2>/dev/null; head -c 2 ok.txt";
    EXPECT_EQ(runToEnd("/bin/bash", {"-c", script}, dir.path()).out, out + std::string("r="))
        << args;
  }
  testkit::Child long_(kRender, {"ok.txt", "o.wav", "--seconds", "800000"}, dir.path());
  ASSERT_TRUE(long_.waitFor("rendering"));
  long_.signal(SIGINT);
  EXPECT_EQ(long_.wait(), 130);
  EXPECT_NE(long_.out().find("interrupted: \"o.wav\" not written\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.wav")));
}

}  // namespace

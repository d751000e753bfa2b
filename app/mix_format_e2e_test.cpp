// The mix at other rates and on more speakers, rendered and played live,
// through SDL's disk driver and a sound server, as a listener hears it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "audio/wav_writer.h"
#include "testing/child.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::Capture;
using testkit::TempDir;
using testkit::Tone;

constexpr double kHalfPi = 1.57079632679489661923;

bool render(const TempDir& dir, const std::string& playlist, int rate, int channels, int seconds,
            const std::string& out, Capture& capture) {
  const auto run =
      testkit::runToEnd(testkit::kRender,
                        {playlist, out, "--seconds", std::to_string(seconds), "--seed", "3",
                         "--rate", std::to_string(rate), "--channels", std::to_string(channels)},
                        dir.path());
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  return run.status == 0 &&
         testkit::readCapture(dir.file(out), channels, capture,
                              channels > 2 ? 68 : 44);  // WAVE_FORMAT_EXTENSIBLE: 68
}

// Eight songs, one per angle, each playing its tone once in a time of its
// own: song i at 100 + 300 i ms.
constexpr int kAngles[] = {0, 45, 90, 135, 180, 225, 270, 315};
std::string anglesPlaylist() {
  std::string text;
  for (int i = 0; i < 8; ++i) {
    text += "a" + std::to_string(kAngles[i]) + "=(_main=(" + std::to_string(100 + 300 * i) +
            ",\"tone.wav\");_param=1," + std::to_string(kAngles[i]) + ",0);";
  }
  return text;
}

// A speaker's share of a sound between two speakers, t of the way from the
// first to the second: the pairwise law at constant power.
struct Split {
  int angle;
  const char* first;
  const char* second;  // null: the first alone
  double t;
};

TEST(MixFormat, EveryAngleIsHeardFromTheSpeakersAroundIt) {
  TempDir dir;
  // A half-scale tone: at distance 0 it comes out at its own level.
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tone.wav"), Tone{440, 0.2, 0.5}));
  ASSERT_TRUE(dir.write("p.txt", anglesPlaylist()));
  const double full = 0.5 * 32767 / std::sqrt(2.0);
  const struct Layout {
    int channels;
    int rate;
    std::vector<const char*> names;
    std::vector<Split> splits;
  } layouts[] = {
      // Speakers at 315, 45, 225 and 135 degrees.
      {4,
       22050,
       {"FL", "FR", "RL", "RR"},
       {{0, "FL", "FR", 0.5},
        {45, "FR", nullptr, 0},
        {90, "FR", "RR", 0.5},
        {135, "RR", nullptr, 0},
        {180, "RR", "RL", 0.5},
        {225, "RL", nullptr, 0},
        {270, "RL", "FL", 0.5},
        {315, "FL", nullptr, 0}}},
      // Speakers at 330, 30, 0, none (LFE), 250 and 110 degrees.
      {6,
       48000,
       {"FL", "FR", "C", "LFE", "RL", "RR"},
       {{0, "C", nullptr, 0},
        {45, "FR", "RR", 15.0 / 80},
        {90, "FR", "RR", 60.0 / 80},
        {135, "RR", "RL", 25.0 / 140},
        {180, "RR", "RL", 70.0 / 140},
        {225, "RR", "RL", 115.0 / 140},
        {270, "RL", "FL", 20.0 / 80},
        {315, "RL", "FL", 65.0 / 80}}},
  };
  for (const Layout& layout : layouts) {
    Capture mix;
    ASSERT_TRUE(render(dir, "p.txt", layout.rate, layout.channels, 3, "r.wav", mix));
    for (std::size_t i = 0; i < 8; ++i) {
      const Split& split = layout.splits[i];
      std::map<std::string, double> expected;
      expected[split.first] = std::cos(kHalfPi * split.t);
      if (split.second != nullptr) expected[split.second] = std::sin(kHalfPi * split.t);
      // The middle of the tone, from 20 to 180 ms into it.
      const std::size_t start = (100 + 300 * i + 20) * layout.rate / 1000;
      const std::size_t count = 160 * layout.rate / 1000;
      for (int channel = 0; channel < layout.channels; ++channel) {
        const std::string name = layout.names[channel];
        const double level = testkit::rms(mix.channels[channel], start, count);
        const std::string where = std::to_string(layout.channels) + " channels, angle " +
                                  std::to_string(split.angle) + ", " + name;
        if (expected.count(name) == 0) {
          EXPECT_EQ(level, 0.0) << where;
        } else {
          EXPECT_NEAR(20 * std::log10(level / (full * expected[name])), 0.0, 1.0) << where;
        }
      }
    }
  }
  // Stereo is SDL_mixer's positioning as it always was: 90 silences the
  // left, 270 the right.
  Capture stereo;
  ASSERT_TRUE(render(dir, "p.txt", 22050, 2, 3, "s.wav", stereo));
  for (const auto& [song, silent, heard] : {std::tuple{2, 0, 1}, {6, 1, 0}}) {
    const std::size_t start = (100 + 300 * song + 20) * 22050 / 1000;
    EXPECT_EQ(testkit::rms(stereo.channels[silent], start, 3528), 0.0) << kAngles[song];
    EXPECT_NEAR(testkit::rms(stereo.channels[heard], start, 3528), full, full * 0.01)
        << kAngles[song];
  }
}

// The frequency of a tone from its zero crossings, and the time between
// the first and the last value above a hundredth of full scale.
struct Heard {
  double frequency = 0;
  double seconds = 0;
};
Heard listen(const std::vector<int16_t>& values, std::size_t begin, std::size_t end, int rate) {
  Heard heard;
  std::size_t first = end, last = begin;
  for (std::size_t i = begin; i < end; ++i) {
    if (std::abs(values[i]) <= 327) continue;
    first = std::min(first, i);
    last = i;
  }
  if (first >= last) return heard;
  heard.seconds = double(last - first) / rate;
  // Crossings upwards over the middle of the tone, each placed between its
  // two frames.
  double firstCrossing = -1, lastCrossing = -1;
  int crossings = 0;
  for (std::size_t i = first + rate / 10; i < last - rate / 10; ++i) {
    if (values[i] >= 0 || values[i + 1] < 0) continue;
    const double at = i + double(-values[i]) / (values[i + 1] - values[i]);
    if (firstCrossing < 0) firstCrossing = at;
    lastCrossing = at;
    ++crossings;
  }
  if (crossings > 1) heard.frequency = (crossings - 1) * rate / (lastCrossing - firstCrossing);
  return heard;
}

TEST(MixFormat, SamplesPlayAtTheirPitchAndLengthAtEveryRate) {
  TempDir dir;
  const int sampleRates[] = {8000, 44100, 96000};
  std::string playlist;
  for (int i = 0; i < 3; ++i) {
    const std::string name = "t" + std::to_string(sampleRates[i]) + ".wav";
    ASSERT_TRUE(testkit::writeToneWav(dir.file(name), Tone{440, 1.0, 0.5, sampleRates[i]}));
    playlist += "s" + std::to_string(i) + "=(_main=(" + std::to_string(100 + 1500 * i) + ",\"" +
                name + "\");_param=1,0,0);";
  }
  ASSERT_TRUE(dir.write("p.txt", playlist));
  for (const int rate : {22050, 44100, 48000, 96000}) {
    Capture mix;
    ASSERT_TRUE(render(dir, "p.txt", rate, 2, 5, "r.wav", mix));
    for (int i = 0; i < 3; ++i) {
      const std::size_t begin = (1500 * i) * std::size_t(rate) / 1000;
      const Heard heard =
          listen(mix.channels[0], begin, begin + 1500 * std::size_t(rate) / 1000, rate);
      const std::string where =
          std::to_string(sampleRates[i]) + " Hz sample at " + std::to_string(rate) + " Hz";
      EXPECT_NEAR(heard.frequency, 440.0, 0.2) << where;
      EXPECT_NEAR(heard.seconds, 1.0, 0.001) << where;
    }
  }
}

TEST(MixFormat, LiveEqualsRenderedAt48kHzOnSixChannelsAndTheFileSaysSo) {
  TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("a.wav"), Tone{440, 0.3, 0.4}));
  ASSERT_TRUE(testkit::writeToneWav(dir.file("b.wav"), Tone{660, 0.2, 0.3, 48000, 2}));
  ASSERT_TRUE(dir.write("p.txt",
                        "front=(_main=(\"a.wav\",400);_param=_infinite,0,30);"
                        "round=(_main=((\"a.wav\":\"b.wav\"=1:1),150to450);_param=_infinite,45,60);"
                        "left=(_main=(\"b.wav\",300to700);_param=_infinite,290,0);"));
  // Classic SDL's disk driver keeps about real time with a 23 ms pause per
  // buffer of 1024 frames (21 ms).
  const int seconds = 2;
  testkit::Child live(testkit::kVelumora,
                      {"--seed", "3", "--rate", "48000", "--channels", "6", "p.txt"}, dir.path(),
                      testkit::diskEnv(dir.file("live.raw")));
  ASSERT_TRUE(live.waitFor(testkit::kStarted));
  live.runsAfter((seconds + 1) * 1000);
  live.write("q\n");
  EXPECT_EQ(live.wait(), 0);
  Capture heard, rendered;
  ASSERT_TRUE(render(dir, "p.txt", 48000, 6, seconds + 2, "r.wav", rendered));
  ASSERT_TRUE(testkit::readCapture(dir.file("live.raw"), 6, heard));
  const auto firstSound = [](const Capture& capture) {
    for (std::size_t i = 0; i < capture.frames(); ++i) {
      for (const auto& channel : capture.channels) {
        if (channel[i] != 0) return i;
      }
    }
    return capture.frames();
  };
  const std::size_t start = firstSound(heard), first = firstSound(rendered);
  const std::size_t frames = seconds * 48000;
  ASSERT_GE(heard.frames(), start + frames);
  ASSERT_GE(rendered.frames(), first + frames);
  // Where the build plays it exactly so (not on sdl12-compat, whose disk
  // driver keeps its own time, nor in instrumented builds).
  if (!testkit::onCompat() && !testkit::kSanitized) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i < frames; ++i) {
      for (int channel = 0; channel < 6; ++channel) {
        differing += heard.channels[channel][start + i] != rendered.channels[channel][first + i];
      }
    }
    EXPECT_EQ(differing, 0u);
  }
  // Every speaker of the songs' angles sounds; the LFE never does.
  for (int channel : {0, 1, 2, 4, 5}) {
    EXPECT_GT(testkit::rms(rendered.channels[channel], first, frames), 100) << channel;
  }
  EXPECT_EQ(testkit::rms(rendered.channels[3], 0, rendered.frames()), 0.0);

  // Every byte of the header, data size included, is the writer's for six
  // channels at 48 kHz with 5.1's mask (FL FR C LFE BL BR), extensible.
  std::ifstream file(dir.file("r.wav"), std::ios::binary);
  std::string header(68, '\0');
  ASSERT_TRUE(file.read(&header[0], 68));
  std::vector<uint8_t> expected;
  std::string error;
  ASSERT_TRUE(WavWriter::header(48000, 6, rendered.frames() * 12, expected, error, 0x3F));
  EXPECT_EQ(header, std::string(expected.begin(), expected.end()));
  // As sox and libsndfile read it.
  if (std::system("command -v soxi >/dev/null && command -v sndfile-info >/dev/null") != 0) {
    GTEST_SKIP() << "no soxi or sndfile-info";
  }
  EXPECT_EQ(testkit::runToEnd("/bin/sh", {"-c", "soxi -c r.wav; soxi -r r.wav"}, dir.path()).out,
            "6\n48000\n");
  const std::string info =
      testkit::runToEnd("/bin/sh", {"-c", "sndfile-info r.wav"}, dir.path()).out;
  EXPECT_NE(info.find("Channel Mask  : 0x3F (L, R, C, LFE, Ls, Rs)"), std::string::npos) << info;
}

TEST(MixFormat, APulseAudioServerGetsTheSixChannelsAsked) {
  if (access("/usr/bin/pulseaudio", X_OK) != 0 || access("/usr/bin/pactl", X_OK) != 0) {
    GTEST_SKIP() << "no PulseAudio here";
  }
  TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("a.wav"), Tone{440, 0.3, 0.4}));
  ASSERT_TRUE(dir.write("p.txt", "s=(_main=(\"a.wav\",300);_param=_infinite,0,0);"));
  // A server of the test's own, with one six-channel null sink, on a socket
  // in dir: none of the machine's, and no cookie to look for.
  testkit::Child server(
      "/usr/bin/pulseaudio",
      {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes", "--log-target=stderr",
       "--load=module-null-sink sink_name=six channels=6 "
       "channel_map=front-left,front-right,rear-left,rear-right,front-center,lfe",
       "--load=module-native-protocol-unix auth-anonymous=1 socket=" + dir.file("native")},
      dir.path(), {"HOME=" + dir.path(), "XDG_RUNTIME_DIR=" + dir.path()});
  const std::string address = "PULSE_SERVER=unix:" + dir.file("native");
  // The server is up once its socket answers.
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = testkit::runToEnd("/usr/bin/pactl", {"info"}, dir.path(), {address}).status == 0;
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(up) << server.err();
  testkit::Child player(testkit::kVelumora, {"--channels", "6", "p.txt"}, dir.path(),
                        {address, "SDL_AUDIODRIVER=pulse"});
  ASSERT_TRUE(player.waitFor(testkit::kStarted)) << player.out();
  const auto inputs =
      testkit::runToEnd("/usr/bin/pactl", {"list", "sink-inputs"}, dir.path(), {address});
  player.write("q\n");
  EXPECT_EQ(player.wait(), 0) << player.out();
  server.signal(SIGTERM);
  EXPECT_NE(inputs.out.find("s16le 6ch 22050Hz"), std::string::npos) << inputs.out;
  EXPECT_NE(inputs.out.find("front-left,front-right,front-center,lfe,rear-left,rear-right"),
            std::string::npos)
      << inputs.out;
}

}  // namespace

// velumora-render as a user runs it: the WAV file it writes (length, timing,
// placement, choices by weight), that the same seed gives the same bytes,
// and how it fails.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::ChildProcess;
using testkit::ProcessOptions;
using testkit::TempDir;
using testkit::Tone;

constexpr std::chrono::milliseconds kPatience{60000};
constexpr int kRate = 22050;
constexpr int kBufferFrames = 512;

testkit::Finished render(const TempDir& dir, const std::vector<std::string>& args) {
  ProcessOptions options;
  options.program = VELUMORA_RENDER_BINARY;
  options.args = args;
  options.workDir = dir.path();
  return testkit::runToEnd(options, kPatience);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t entriesIn(const std::string& directory) {
  std::size_t count = 0;
  if (DIR* listing = opendir(directory.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++count;
    }
    closedir(listing);
  }
  return count;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// The stereo samples of a 16-bit stereo WAV file as the renderer writes it,
// after checking its header.
testkit::StereoCapture readRenderedWav(const std::string& path) {
  const std::string bytes = readFile(path);
  testkit::StereoCapture capture;
  EXPECT_GE(bytes.size(), 44u);
  if (bytes.size() < 44) return capture;
  auto u32 = [&](std::size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  auto u16 = [&](std::size_t at) {
    uint16_t v = 0;
    std::memcpy(&v, bytes.data() + at, 2);
    return v;
  };
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(u16(20), 1);  // PCM
  EXPECT_EQ(u16(22), 2);  // stereo
  EXPECT_EQ(u32(24), static_cast<uint32_t>(kRate));
  EXPECT_EQ(u16(34), 16);
  EXPECT_EQ(bytes.substr(36, 4), "data");
  EXPECT_EQ(u32(40), bytes.size() - 44);
  EXPECT_EQ(u32(4), bytes.size() - 8);
  const std::size_t frames = (bytes.size() - 44) / 4;
  capture.left.resize(frames);
  capture.right.resize(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    std::memcpy(&capture.left[i], bytes.data() + 44 + 4 * i, 2);
    std::memcpy(&capture.right[i], bytes.data() + 44 + 4 * i + 2, 2);
  }
  return capture;
}

// The first frame of every stretch of sound after silence, in either channel.
std::vector<std::size_t> onsets(const testkit::StereoCapture& capture) {
  std::vector<std::size_t> found;
  std::size_t quietSince = 0;
  bool sounding = false;
  for (std::size_t i = 0; i < capture.frames(); ++i) {
    const bool loud = std::abs(capture.left[i]) > 200 || std::abs(capture.right[i]) > 200;
    if (loud) {
      if (!sounding) found.push_back(i);
      sounding = true;
      quietSince = i;
    } else if (sounding && i - quietSince > 2000) {
      sounding = false;
    }
  }
  return found;
}

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Tone tick;
    tick.frequency = 1000;
    tick.seconds = 0.02;
    ASSERT_TRUE(testkit::writeToneWav(dir.file("tick.wav"), tick));
    Tone low;
    low.frequency = 440;
    low.seconds = 0.1;
    ASSERT_TRUE(testkit::writeToneWav(dir.file("low.wav"), low));
    Tone high = low;
    high.frequency = 1320;
    ASSERT_TRUE(testkit::writeToneWav(dir.file("high.wav"), high));
  }

  TempDir dir;
};

TEST_F(RendererTest, TicksLandInTheBufferOfTheirTimeWithoutDrift) {
  ASSERT_TRUE(dir.write("ticks.txt", "tick=(_main=(\"tick.wav\",1000);_param=_infinite,0,0);"));
  const testkit::Finished result =
      render(dir, {"ticks.txt", "out.wav", "--seconds", "60", "--seed", "1"});
  ASSERT_EQ(result.status, 0) << result.output;
  const testkit::StereoCapture capture = readRenderedWav(dir.file("out.wav"));
  ASSERT_EQ(capture.frames(), 60u * kRate);
  const std::vector<std::size_t> found = onsets(capture);
  ASSERT_EQ(found.size(), 60u);
  for (std::size_t k = 0; k < found.size(); ++k) {
    // The tick at k seconds starts with the buffer holding frame k * 22050.
    const std::size_t exact = k * kRate;
    EXPECT_EQ(found[k] / kBufferFrames, exact / kBufferFrames) << "tick " << k;
  }
}

TEST_F(RendererTest, SameSeedGivesTheSameBytesEvenUnderLoad) {
  ASSERT_TRUE(dir.write("mix.txt",
                        "a=(_main=((\"low.wav\":\"high.wav\"=3:1),100to700);"
                        "_param=_infinite,270,0);"
                        "b=(_main=(\"high.wav\",(300to900):50=1:1);_param=_infinite,90,60);"));
  const std::vector<std::string> args = {"--seconds", "120", "--seed", "42"};
  std::vector<std::string> first = {"mix.txt", "first.wav"};
  first.insert(first.end(), args.begin(), args.end());
  ASSERT_EQ(render(dir, first).status, 0);

  // A second render runs while the machine is kept busy by more renders.
  ProcessOptions busy;
  busy.program = VELUMORA_RENDER_BINARY;
  busy.args = {"mix.txt", "busy.wav", "--seconds", "3000", "--seed", "7"};
  busy.workDir = dir.path();
  ChildProcess load(busy);
  ASSERT_TRUE(load.start());
  std::vector<std::string> second = {"mix.txt", "second.wav"};
  second.insert(second.end(), args.begin(), args.end());
  ASSERT_EQ(render(dir, second).status, 0);
  load.sendSignal(SIGINT);
  load.waitForExit(kPatience);

  const std::string a = readFile(dir.file("first.wav"));
  EXPECT_EQ(a.size(), 44u + 120u * kRate * 4);
  EXPECT_TRUE(a == readFile(dir.file("second.wav")));

  std::vector<std::string> other = {"mix.txt", "other.wav", "--seconds", "120", "--seed", "43"};
  ASSERT_EQ(render(dir, other).status, 0);
  EXPECT_FALSE(a == readFile(dir.file("other.wav")));
}

struct PlacementCase {
  int angle;
  bool leftHeard;
  bool rightHeard;
};

TEST_F(RendererTest, SongIsHeardAtItsAngle) {
  const std::vector<PlacementCase> cases = {
      {90, false, true}, {270, true, false}, {0, true, true}, {180, true, true}};
  for (const PlacementCase& c : cases) {
    SCOPED_TRACE("angle " + std::to_string(c.angle));
    ASSERT_TRUE(dir.write("placed.txt", "p=(_main=(\"low.wav\",200);_param=_infinite," +
                                            std::to_string(c.angle) + ",0);"));
    ASSERT_EQ(render(dir, {"placed.txt", "placed.wav", "--seconds", "5", "--seed", "1"}).status, 0);
    const testkit::StereoCapture capture = readRenderedWav(dir.file("placed.wav"));
    const double left = testkit::rms(capture.left);
    const double right = testkit::rms(capture.right);
    EXPECT_EQ(left > 500, c.leftHeard) << left;
    EXPECT_EQ(right > 500, c.rightHeard) << right;
    if (!c.leftHeard) {
      EXPECT_LT(left, 1.0);
    }
    if (!c.rightHeard) {
      EXPECT_LT(right, 1.0);
    }
  }
}

TEST_F(RendererTest, WeightedChoiceFollowsItsWeights) {
  // One choice every 500 ms; each play is told apart by its tone.
  ASSERT_TRUE(dir.write("choice.txt",
                        "c=(_main=((\"low.wav\":\"high.wav\"=3:1),500);_param=_infinite,0,0);"));
  const int seconds = 400;
  ASSERT_EQ(render(dir, {"choice.txt", "choice.wav", "--seconds", std::to_string(seconds), "--seed",
                         "2024"})
                .status,
            0);
  const testkit::StereoCapture capture = readRenderedWav(dir.file("choice.wav"));
  const std::vector<std::size_t> found = onsets(capture);
  ASSERT_EQ(found.size(), static_cast<std::size_t>(2 * seconds));
  int low = 0;
  for (std::size_t start : found) {
    const double frequency =
        testkit::dominantFrequency(capture.left, start + 64, 1024, kRate, {440.0, 1320.0});
    if (frequency == 440.0) ++low;
  }
  // 800 plays at 3:1: 600 expected, standard deviation about 12.
  EXPECT_NEAR(low, 600, 50);
}

TEST_F(RendererTest, PrintsTheLiveProgramsLines) {
  ASSERT_TRUE(dir.write("lines.txt",
                        "once=(_main=(\"tick.wav\",100);_param=2,0,0);"
                        "ever=(_main=(\"tick.wav\",100);_param=_infinite,0,0);"));
  const testkit::Finished result =
      render(dir, {"lines.txt", "lines.wav", "--seconds", "3", "--seed", "5"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            "Velumora ver 1.0.1\n"
            "initializing...done\n"
            "rendering 3 seconds into \"lines.wav\" with seed 5\n"
            "playing 2 time(s) of \"once\"\n"
            "playing infinite time(s) of \"ever\"\n"
            "once done\n"
            "terminating all threads...\n"
            "ever done\n"
            "halting 0 channels...done.\n"
            "cleaning memory...done\n"
            "audio closed\n"
            "velumora is terminated\n"
            "wrote \"lines.wav\"\n");
}

struct FailureCase {
  const char* name;
  const char* playlist;
  std::vector<std::string> args;
  int status;
  const char* expectedStart;
};

TEST_F(RendererTest, FailuresLeaveNoFile) {
  const std::vector<FailureCase> cases = {
      {"unknown name",
       "s=(_main=(x,100));",
       {"bad.txt", "out.wav"},
       1,
       "Velumora ver 1.0.1\ninitializing...can't understand as Pattern Object \"x\"\n"
       "MultiPattern::growTree Error\ns : growTree error\nAnalyzing File String Failed\n"
       "Velumora Initialization Failed\n"},
      {"missing sample",
       "s=(_main=(\"none.wav\",100));",
       {"bad.txt", "out.wav"},
       1,
       "Velumora ver 1.0.1\ninitializing... : Unable to Open Audio File : \"none.wav\" : "},
      {"missing playlist",
       "",
       {"absent.txt", "out.wav"},
       1,
       "Velumora ver 1.0.1\ninitializing...Unable to Open file \"absent.txt\"\n"},
      {"unwritable output",
       "s=(_main=100);",
       {"bad.txt", "no/such/dir/out.wav"},
       1,
       "Unable to write file \"no/such/dir/out.wav\" : No such file or directory\n"},
      {"output is a directory",
       "s=(_main=100);",
       {"bad.txt", "."},
       1,
       "Unable to write file \".\" : Is a directory\n"},
      {"no output named", "s=(_main=100);", {"bad.txt"}, 2, ""},
      {"bad seconds", "s=(_main=100);", {"bad.txt", "out.wav", "--seconds", "0"}, 2, ""},
      {"bad seed", "s=(_main=100);", {"bad.txt", "out.wav", "--seed", "x"}, 2, ""},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir scratch;
    ASSERT_TRUE(scratch.write("bad.txt", c.playlist));
    const testkit::Finished result = render(scratch, c.args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.output.rfind(c.expectedStart, 0), 0u) << result.output;
    EXPECT_FALSE(exists(scratch.file("out.wav")));
    // Only the playlist: no output and no partial file.
    EXPECT_EQ(entriesIn(scratch.path()), 1u);
  }
}

TEST_F(RendererTest, InterruptedRenderRemovesItsPartialFile) {
  ASSERT_TRUE(dir.write("long.txt", "l=(_main=(\"low.wav\",250);_param=_infinite,0,0);"));
  ProcessOptions options;
  options.program = VELUMORA_RENDER_BINARY;
  options.args = {"long.txt", "long.wav", "--seconds", "360000", "--seed", "3"};
  options.workDir = dir.path();
  ChildProcess process(options);
  ASSERT_TRUE(process.start());
  ASSERT_TRUE(process.waitForOutput("playing infinite", kPatience));
  ASSERT_TRUE(process.sendSignal(SIGINT));
  EXPECT_EQ(process.waitForExit(kPatience), 130);
  EXPECT_NE(process.output().find("interrupted: \"long.wav\" not written\n"), std::string::npos);
  EXPECT_NE(process.output().find("velumora is terminated\n"), std::string::npos);
  EXPECT_FALSE(exists(dir.file("long.wav")));
  // The playlist and the three samples, and no partial file.
  EXPECT_EQ(entriesIn(dir.path()), 4u);
}

}  // namespace

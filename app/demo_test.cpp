// The demo soundscape as the build leaves it: its synthesized samples, its
// playlist as velumora-check reads it, and how it sounds when rendered.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string kDemoDir = VELUMORA_DEMO_DIR;

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Finished {
  int status = -1;
  std::string output;
};

// Runs the command line in dir, with standard error joined to standard
// output; a command that hangs is killed after two minutes.
Finished runIn(const std::string& dir, const std::string& command) {
  Finished run;
  const std::string line = "cd " + shellQuoted(dir) + " && timeout 120 " + command + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/velumora-demo-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    if (!path_.empty()) std::system(("rm -rf " + shellQuoted(path_)).c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Pcm {
  int format = 0;
  int channels = 0;
  int rate = 0;
  int bits = 0;
  std::vector<int16_t> samples;  // interleaved
  std::size_t frames() const { return channels == 0 ? 0 : samples.size() / channels; }
};

uint32_t little(const std::string& bytes, std::size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Reads a RIFF WAV file chunk by chunk; false when it is not one.
bool readWav(const std::string& path, Pcm& pcm) {
  const std::string bytes = readFile(path);
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    return false;
  }
  bool haveFormat = false;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const std::size_t size = little(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (body + size > bytes.size()) return false;
    if (id == "fmt " && size >= 16) {
      pcm.format = static_cast<int>(little(bytes, body, 2));
      pcm.channels = static_cast<int>(little(bytes, body + 2, 2));
      pcm.rate = static_cast<int>(little(bytes, body + 4, 4));
      pcm.bits = static_cast<int>(little(bytes, body + 14, 2));
      haveFormat = true;
    } else if (id == "data" && haveFormat && pcm.bits == 16) {
      for (std::size_t i = 0; i + 1 < size; i += 2) {
        pcm.samples.push_back(static_cast<int16_t>(little(bytes, body + i, 2)));
      }
      return true;
    }
    at = body + size + (size & 1);
  }
  return false;
}

// Root mean square of one channel over frames [begin, end).
double rms(const Pcm& pcm, int channel, std::size_t begin, std::size_t end) {
  double sum = 0.0;
  for (std::size_t f = begin; f < end; ++f) {
    const double v = pcm.samples[f * pcm.channels + channel];
    sum += v * v;
  }
  return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

int peak(const Pcm& pcm) {
  int top = 0;
  for (int16_t v : pcm.samples) top = std::max(top, std::abs(static_cast<int>(v)));
  return top;
}

// The playlist chains copies of some samples by their length (the drone
// every 6.5 s, the rain every 4 s, a long gust 3 s apart), so the lengths
// are part of the demo's design.
struct SampleCase {
  const char* name;
  double seconds;
};

const SampleCase kSamples[] = {
    {"rain.wav", 5.0},    {"wind.wav", 7.0},    {"drone.wav", 8.0},   {"chime-c.wav", 4.0},
    {"chime-d.wav", 4.0}, {"chime-e.wav", 4.0}, {"chime-g.wav", 4.0}, {"chime-a.wav", 4.0},
    {"drop-1.wav", 0.3},  {"drop-2.wav", 0.3},  {"drop-3.wav", 0.3},
};

void PrintTo(const SampleCase& sample, std::ostream* out) { *out << sample.name; }

class DemoSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(DemoSampleTest, IsQuietMonoPcmThatStartsAndEndsWithoutAClick) {
  const SampleCase& sample = GetParam();
  Pcm pcm;
  ASSERT_TRUE(readWav(kDemoDir + "/" + sample.name, pcm)) << sample.name;
  EXPECT_EQ(pcm.format, 1);
  EXPECT_EQ(pcm.channels, 1);
  EXPECT_EQ(pcm.rate, 22050);
  EXPECT_EQ(pcm.bits, 16);
  ASSERT_GT(pcm.frames(), 0u);
  EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, sample.seconds, 0.01);
  // Audible, with headroom left for the mixer to add several at once.
  EXPECT_GT(peak(pcm), 3000);
  EXPECT_LT(peak(pcm), 16384);
  EXPECT_LT(std::abs(pcm.samples.front()), 64);
  EXPECT_LT(std::abs(pcm.samples.back()), 64);
}

INSTANTIATE_TEST_SUITE_P(Demo, DemoSampleTest, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<SampleCase>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c != '.'; ++c) {
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           }
                           return name;
                         });

TEST(DemoSamplesTest, ComeOutTheSameOnEveryRunAndStaySmall) {
  ScratchDir scratch;
  ASSERT_FALSE(scratch.path().empty());
  const Finished run = runIn(scratch.path(), shellQuoted(VELUMORA_DEMO_SAMPLES_BINARY) + " .");
  ASSERT_EQ(run.status, 0) << run.output;
  std::size_t total = 0;
  for (const SampleCase& sample : kSamples) {
    const std::string built = readFile(kDemoDir + "/" + sample.name);
    EXPECT_FALSE(built.empty()) << sample.name;
    EXPECT_TRUE(built == readFile(scratch.path() + "/" + sample.name)) << sample.name;
    total += built.size();
  }
  EXPECT_LT(total, 3u * 1024 * 1024);
}

TEST(DemoPlaylistTest, ChecksAndListsEverySongWithItsPlace) {
  const Finished run = runIn(kDemoDir, shellQuoted(VELUMORA_CHECK_BINARY) + " playlist.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("the playlist would play\n"), std::string::npos);
  // drips has no _param and must carry on with the values of rain.
  const char* const songs[] = {
      "song \"drone\" : infinite, angle 0, distance 40\n",
      "song \"rain\" : infinite, angle 90, distance 110\n",
      "song \"drips\" : infinite, angle 90, distance 110\n",
      "song \"wind\" : infinite, angle 270, distance 150\n",
      "song \"chimes\" : 5 time(s), angle 30, distance 70\n",
      "song \"echo\" : infinite, angle 225, distance 200\n",
  };
  std::size_t listed = 0;
  for (std::size_t at = run.output.find("song \""); at != std::string::npos;
       at = run.output.find("song \"", at + 1)) {
    ++listed;
  }
  EXPECT_EQ(listed, std::size(songs)) << run.output;
  for (const char* song : songs) EXPECT_NE(run.output.find(song), std::string::npos) << song;
  for (const SampleCase& sample : kSamples) {
    EXPECT_NE(run.output.find("note \"" + std::string(sample.name) + "\""), std::string::npos)
        << sample.name << " is made but never played";
  }
}

class DemoRenderTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(DemoRenderTest, ThirtySecondsAreNeverSilentAndHardlyEverClip) {
  ScratchDir scratch;
  ASSERT_FALSE(scratch.path().empty());
  const std::string out = scratch.path() + "/demo.wav";
  const Finished run =
      runIn(kDemoDir, shellQuoted(VELUMORA_RENDER_BINARY) + " playlist.txt " + shellQuoted(out) +
                          " --seconds 30 --seed " + std::to_string(GetParam()));
  ASSERT_EQ(run.status, 0) << run.output;
  Pcm pcm;
  ASSERT_TRUE(readWav(out, pcm));
  ASSERT_EQ(pcm.channels, 2);
  ASSERT_EQ(pcm.rate, 22050);
  ASSERT_EQ(pcm.frames(), 30u * 22050);
  std::size_t clipped = 0;
  for (int16_t v : pcm.samples) clipped += (v >= 32767 || v <= -32767) ? 1 : 0;
  EXPECT_LT(clipped, pcm.samples.size() / 1000) << "samples at full scale";
  // The drone never stops, so no stretch of either side falls silent.
  const std::size_t window = 22050 * 5;
  for (std::size_t begin = 0; begin < pcm.frames(); begin += window) {
    for (int channel = 0; channel < 2; ++channel) {
      EXPECT_GT(rms(pcm, channel, begin, begin + window), 500.0)
          << "channel " << channel << " from " << begin / 22050 << " s";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, DemoRenderTest, ::testing::Values(1u, 7u, 2024u));

}  // namespace

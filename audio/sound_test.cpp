#include "audio/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "audio/sample_cache.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

// The mixer as the program opens it, on the silent dummy driver, once for
// the suite. Every test uses file names in its own temporary directory:
// the process-wide sample cache keeps every name it has seen.
class SoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512), 0) << SDL_GetError();
    Mix_AllocateChannels(16);
  }
  static void TearDownTestSuite() {
    Mix_HaltChannel(-1);
    Mix_AllocateChannels(0);
    Mix_CloseAudio();
    SDL_Quit();
  }
  void TearDown() override {
    // Nothing may play a sample after its Sound is gone.
    Mix_HaltChannel(-1);
  }

  testkit::TempDir dir_;
};

TEST_F(SoundTest, SecondLoadOfAFileSharesTheFirstSample) {
  const std::string path = dir_.file("shared.wav");
  ASSERT_TRUE(testkit::writeToneWav(path, testkit::Tone{}));
  auto first = std::make_unique<Sound>();
  ASSERT_TRUE(first->load(path));
  EXPECT_TRUE(first->ownsSample);
  ASSERT_NE(first->sample, nullptr);
  EXPECT_EQ(sampleCache.lookup(path), first->sample);

  // From here the file can only come from the cache.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  {
    Sound second;
    second.frequency = 0;
    second.format = 0;
    second.channels = 0;
    ASSERT_TRUE(second.load(path));
    EXPECT_FALSE(second.ownsSample);
    EXPECT_EQ(second.sample, first->sample);
    EXPECT_EQ(second.fileName, path);
    // A cache hit refreshes the output format like a miss does.
    EXPECT_EQ(second.frequency, 22050);
    EXPECT_EQ(second.format, AUDIO_S16LSB);
    EXPECT_EQ(second.channels, 2);

    // Another spelling of the same file is another entry: it is read again,
    // and the file is gone.
    Sound third;
    EXPECT_FALSE(third.load(dir_.path() + "/./shared.wav"));
    EXPECT_EQ(third.sample, nullptr);
  }
  // The sharer freed nothing: the owner's sample still plays.
  EXPECT_TRUE(first->play());
  EXPECT_EQ(Mix_Playing(-1), 1);
  Mix_HaltChannel(-1);
  first.reset();
}

// ---------------------------------------------------------------------------

struct LoadCase {
  const char* name;
  const char* file;     // as passed to load, relative to the test directory
  const char* content;  // null: no file; "tone:RATE:CHANNELS": a 0.5 s tone
  std::size_t bytes;    // expected size of the decoded sample; 0: load fails
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class SoundLoad : public SoundTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SoundLoad, DecodesToTheOutputFormatOrFailsCleanly) {
  const LoadCase& c = GetParam();
  const std::string path = std::string(c.file).empty() ? "" : dir_.file(c.file);
  if (c.content != nullptr) {
    int rate = 0, channels = 0;
    if (std::sscanf(c.content, "tone:%d:%d", &rate, &channels) == 2) {
      testkit::Tone tone;
      tone.rate = rate;
      tone.channels = channels;
      ASSERT_TRUE(testkit::writeToneWav(path, tone));
    } else if (std::string(c.content) == "/") {
      ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    } else {
      ASSERT_TRUE(dir_.write(c.file, c.content));
    }
  }
  Sound sound;
  sound.fileName = "before";
  const bool loaded = sound.load(path);
  if (c.bytes == 0) {
    EXPECT_FALSE(loaded);
    EXPECT_EQ(sound.sample, nullptr);
    EXPECT_EQ(sound.fileName, "before");
    EXPECT_EQ(sampleCache.lookup(path), nullptr);
    return;
  }
  ASSERT_TRUE(loaded) << SDL_GetError();
  EXPECT_TRUE(sound.ownsSample);
  EXPECT_EQ(sound.fileName, path);
  // 0.5 s at 22050 Hz, 2 channels of 2 bytes; rate conversion may round.
  EXPECT_NEAR(double(sound.sample->alen), double(c.bytes), c.bytes * 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, SoundLoad,
    ::testing::Values(LoadCase{"Mono22050", "mono.wav", "tone:22050:1", 44100},
                      LoadCase{"Stereo22050", "stereo.wav", "tone:22050:2", 44100},
                      LoadCase{"Mono44100", "fast.wav", "tone:44100:1", 44100},
                      LoadCase{"Mono11025", "slow.wav", "tone:11025:1", 44100},
                      LoadCase{"NameWithBlank", "with blank.wav", "tone:22050:1", 44100},
                      LoadCase{"Missing", "missing.wav", nullptr, 0},
                      LoadCase{"EmptyName", "", nullptr, 0},
                      LoadCase{"Text", "text.wav", "not a sound at all\n", 0},
                      LoadCase{"EmptyFile", "empty.wav", "", 0},
                      LoadCase{"Directory", "folder.wav", "/", 0}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------

TEST_F(SoundTest, PlayWithEveryChannelBusyFailsAtOnce) {
  testkit::Tone tone;
  tone.seconds = 10;
  tone.amplitude = 0.1;
  const std::string path = dir_.file("long.wav");
  ASSERT_TRUE(testkit::writeToneWav(path, tone));
  Sound sound;
  ASSERT_TRUE(sound.load(path));
  sound.setPosition(90, 0);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(sound.play()) << i;
  EXPECT_EQ(Mix_Playing(-1), 16);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(sound.play());
  // It does not wait for a channel to come free (the sample lasts 10 s).
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_EQ(Mix_Playing(-1), 16);
  Mix_HaltChannel(-1);
  EXPECT_EQ(Mix_Playing(-1), 0);
  EXPECT_TRUE(sound.play());
}

}  // namespace

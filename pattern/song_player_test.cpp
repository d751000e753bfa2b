// What a listener would hear of a song: every note, its frame and its place,
// recorded by a fake mixer while a SongPlayer walks the grown tree.

#include "pattern/song_player.h"
#include "base/problem_reporter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "audio/sample_cache.h"
#include "pattern/song.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"
#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

using testkit::FakeMixer;

constexpr uint64_t kOrigin = 1024;

class SongPlayerTest : public ::testing::Test {
 protected:
  // Builds the playlist; every quoted name is a file in the test directory.
  void build(const std::string& playlist) {
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) ASSERT_TRUE(dir_.write(name, "x"));
    std::string text = playlist;
    cleanPlaylistText(text);
    std::string out;
    bool built = false;
    {
      testkit::StdoutCapture capture;
      ProblemReporter player;
      built = buildSongs(std::make_shared<const BalancedText>(text), samples_, songs_, player);
      out = capture.text();
    }
    ASSERT_TRUE(built) << out;
  }
  // Plays song i up to frame `until`, one mixer buffer at a time. Uneven
  // turns, as live, hear the same: sound_e2e_test.cpp compares the two.
  std::vector<FakeMixer::Note> play(std::size_t i, uint64_t until, uint32_t seed = 1) {
    FakeMixer mixer;
    PlayContext context{mixer, stop_, seed};
    SongPlayer player(*songs_[i], static_cast<uint32_t>(i), context, kOrigin, nullptr);
    for (uint64_t horizon = 512; horizon <= until && player.advance(horizon); horizon += 512) {
      mixer.mixTo(horizon);
    }
    mixer.mixTo(until);
    return mixer.notes();
  }

  testkit::TempDir dir_;
  FakeMixer loader_;
  SampleCache samples_{loader_};
  std::vector<std::unique_ptr<Song>> songs_;
  std::atomic<bool> stop_{false};
  testkit::WorkingDirectory chdir_{dir_.path()};
};

TEST_F(SongPlayerTest, EveryNoteSoundsWhereItsSongIs) {
  // Notes reached through named patterns and choices are placed too.
  build(
      "s=(_main=(a,b,\"c.wav\");a=\"a.wav\";b=(a:\"./b.wav\"=1:1,10);z=\"b.wav\";"
      "_param=20,90,7);");
  // One file, however its name is spelt, is decoded once.
  EXPECT_EQ(loader_.decoded.load(), 3);
  const auto notes = play(0, 22050 * 10);
  ASSERT_EQ(notes.size(), 60u);
  for (const auto& note : notes) {
    EXPECT_EQ(note.angle, 90);
    EXPECT_EQ(note.distance, 7);
  }
}

TEST_F(SongPlayerTest, DrawsComeFromTheSongsOwnStream) {
  build(
      "w=(_main=((\"a.wav\":\"b.wav\"=3:1),100to300);_param=_infinite,0,0);"
      "v=(_main=((\"a.wav\":\"b.wav\"=3:1),100to300);_param=_infinite,0,0);");
  const uint64_t minute = 60 * 22050;
  const auto notes = play(0, minute);
  std::map<std::string, int> count;
  for (std::size_t i = 0; i + 1 < notes.size(); ++i) {
    const uint64_t gap = notes[i + 1].frame - notes[i].frame;
    EXPECT_GE(gap, 100u * 22050 / 1000);
    EXPECT_LE(gap, 300u * 22050 / 1000 + 1);
    ++count[notes[i].file];
  }
  EXPECT_NEAR(count["a.wav"] / double(notes.size()), 0.75, 0.05);
  // Another song, or another seed, draws other values.
  EXPECT_NE(play(1, minute)[5].frame, notes[5].frame);
  EXPECT_NE(play(0, minute, 2)[5].frame, notes[5].frame);
}

TEST_F(SongPlayerTest, NoSongHoldsItsThreadOrFloodsTheMixer) {
  // An endless song without a pause plays once per mixer buffer; a graph of
  // 2^40 notes without a pause takes a bounded walk per buffer.
  std::string graph = "g=(_main=p0;";
  for (int i = 0; i < 40; ++i)
    graph += "p" + std::to_string(i) + "=(p" + std::to_string(i + 1) + ",p" +
             std::to_string(i + 1) + ");";
  build("x=(_main=\"a.wav\";_param=_infinite,0,0);" + graph + "p40=\"b.wav\";_param=1,0,0);");
  const auto notes = play(0, kOrigin + 5 * 512);
  ASSERT_EQ(notes.size(), 5u);
  for (std::size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i].frame, kOrigin + 512 * i);
  const auto burst = play(1, kOrigin + 4 * 512);
  EXPECT_GT(burst.size(), 1000u);
  EXPECT_LT(burst.size(), 4 * SongPlayer::kStepsWithoutTime);
}

TEST_F(SongPlayerTest, EndsWithItsLoopsOrTheStopFlag) {
  build(
      "z=(_main=\"a.wav\";_param=0,0,0);e=(_main=(\"a.wav\",500,\"b.wav\");_param=_infinite,0,0);");
  EXPECT_TRUE(play(0, 22050).empty());
  FakeMixer mixer;
  PlayContext context{mixer, stop_, 1};
  SongPlayer player(*songs_[1], 1, context, kOrigin, nullptr);
  EXPECT_TRUE(player.advance(kOrigin + 1));
  // The flag ends the song within its repetition: b.wav never plays.
  stop_ = true;
  EXPECT_FALSE(player.advance(kOrigin + 10 * 22050));
  mixer.mixTo(kOrigin + 10 * 22050);
  EXPECT_EQ(mixer.notes().size(), 1u);
}

}  // namespace

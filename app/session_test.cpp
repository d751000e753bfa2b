// A run of the live program against a fake mixer and clock: the lines of
// start-up, players and shutdown, and the notes of songs played on threads.

#include "app/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "app/players.h"
#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

using testkit::FakeMixer;

TEST(Session, PlayersKeepTheirTimeOnTheClockAndEndInOrder) {
  testkit::TempDir dir;
  ASSERT_TRUE(dir.write("a.wav", "x"));
  ASSERT_TRUE(dir.write("p.txt",
                        "one=(_main=(\"" + dir.file("a.wav") + "\",250);_param=4,0,0);"
                        "two=(_main=(\"" + dir.file("a.wav") + "\",1000);_param=_infinite,0,0);"));
  auto owned = std::make_unique<FakeMixer>();
  FakeMixer& mixer = *owned;
  Session session(std::move(owned), std::make_unique<testkit::FakeClock>(), 7);
  std::string text;
  {
    testkit::StdoutCapture out;
    if (session.initialize(dir.file("p.txt"))) {
      session.startPlayers(false);
      // The endless song plays on simulated time until the finite one is done.
      while (out.text().find("one done\n") == std::string::npos) std::this_thread::yield();
    }
    session.shutdown();
    text = out.text();
  }
  for (const char* line : {"playing 4 time(s) of \"one\"\n", "playing infinite time(s) of \"two\"\n"})
    EXPECT_NE(text.find(line), std::string::npos) << text;
  // The endless song ends after the stop; a player may start its song late.
  const std::string tail =
      "two done\nhalting 0 channels...done.\ncleaning memory...done\naudio closed\n"
      "velumora is terminated\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
  EXPECT_LT(text.find("terminating all threads...\n"), text.size() - tail.size()) << text;
  std::vector<uint64_t> frames[2];
  for (const auto& note : mixer.notes()) frames[note.song].push_back(note.frame);
  for (auto& song : frames) {
    std::sort(song.begin(), song.end());
    const uint64_t first = song.empty() ? 0 : song[0];
    for (uint64_t& frame : song) frame -= first;
  }
  EXPECT_EQ(frames[0], (std::vector<uint64_t>{0, 5512, 11025, 16537}));
  for (uint64_t frame : frames[1]) EXPECT_EQ(frame % 22050, 0u);
}

TEST(Session, ReloadKeepsUnchangedSongsAndSwitchesChangedOnesAtTheirRepetitions) {
  testkit::TempDir dir;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) ASSERT_TRUE(dir.write(name, "x"));
  testkit::WorkingDirectory into(dir.path());
  const std::string first =
      "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
      "b=(_main=(\"b.wav\",1000,\"b.wav\",1000);_param=_infinite,0,0);";
  ASSERT_TRUE(dir.write("p.txt", first));
  auto mixer = std::make_unique<FakeMixer>();
  auto clock = std::make_unique<testkit::FakeClock>();
  FakeMixer& heard = *mixer;
  testkit::FakeClock& time = *clock;
  // The clock stands still until both players have started, so they share
  // their origin.
  time.setLimit(0);
  Session session(std::move(mixer), std::move(clock), 7);
  std::string text;
  {
    testkit::StdoutCapture out;
    ASSERT_TRUE(session.initialize("p.txt"));
    session.startPlayers(false);
    while (time.waiting() < 2) std::this_thread::yield();
    time.setLimit(5 * 22050);
    // Until both songs have played a few notes.
    const auto count = [&](uint32_t song, const char* file) {
      int n = 0;
      for (const auto& note : heard.notes()) n += note.song == song && note.file == file;
      return n;
    };
    while (count(0, "a.wav") < 3 || count(1, "b.wav") < 3) std::this_thread::yield();
    // A broken edit keeps the songs; a good one changes b and adds c.
    dir.write("p.txt", first + "x=(_main=(nothing,1));");
    EXPECT_FALSE(session.reload("p.txt"));
    dir.write("p.txt", "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                       "b=(_main=(\"c.wav\",250);_param=_infinite,0,0);"
                       "c=(_main=\"c.wav\");");
    EXPECT_TRUE(session.reload("p.txt"));
    time.setLimit(30 * 22050);
    while (count(0, "a.wav") < 12 || count(1, "c.wav") < 8) std::this_thread::yield();
    session.shutdown();
    text = out.text();
  }
  EXPECT_NE(text.find("can't understand as Pattern Object \"nothing\"\nMultiPattern::growTree "
                      "Error\nx : growTree error\nreload failed: the songs play on as they were\n"
                      "reloaded: 1 songs changed, 1 new, 0 removed\n"),
            std::string::npos)
      << text;
  std::vector<uint64_t> a, b;
  std::vector<std::string> bFiles;
  for (const auto& note : heard.notes()) {
    if (note.song == 0) a.push_back(note.frame);
    if (note.song == 1) b.push_back(note.frame), bFiles.push_back(note.file);
  }
  // a keeps its one-second grid throughout.
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i] - a[0], 22050 * i);
  // b finishes its two-second repetition, then plays c.wav every 250 ms.
  std::size_t i = 0;
  while (i < bFiles.size() && bFiles[i] == "b.wav") ++i;
  ASSERT_LT(i, bFiles.size());
  EXPECT_EQ(i % 2, 0u);
  EXPECT_EQ(b[i] - b[0], 22050 * i);
  for (std::size_t j = i; j < b.size(); ++j) EXPECT_EQ(b[j] - b[i], (j - i) * 11025 / 2);
}

}  // namespace

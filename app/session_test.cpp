// A run of the live program against a fake mixer and clock: songs played on
// threads, reloaded while they play, and the lines of it all.

#include "app/session.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/playlist_checker.h"
#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

using testkit::FakeMixer;

TEST(Session, ReloadKeepsUnchangedSongsAndSwitchesChangedOnesAtTheirRepetitions) {
  testkit::TempDir dir;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) ASSERT_TRUE(dir.write(name, "x"));
  testkit::WorkingDirectory into(dir.path());
  ASSERT_TRUE(dir.write("p.txt",
                        "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                        "b=(_main=(\"b.wav\",1000,\"b.wav\",1000);_param=_infinite,0,0);"));
  auto mixer = std::make_unique<FakeMixer>();
  const FakeMixer& heard = *mixer;
  auto clock = std::make_unique<testkit::FakeClock>(mixer.get());
  Session session(std::move(mixer), std::move(clock), 7);
  auto& time = *static_cast<testkit::FakeClock*>(session.clock());
  // The clock stands still until both players have started, so they share
  // their origin.
  time.setLimit(0);
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
    // An edit that changes b and adds c.
    dir.write("p.txt",
              "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
              "b=(_main=(\"c.wav\",250);_param=_infinite,0,0);"
              "c=(_main=\"c.wav\");");
    EXPECT_TRUE(session.reload("p.txt"));
    time.setLimit(30 * 22050);
    while (count(0, "a.wav") < 12 || count(1, "c.wav") < 8) std::this_thread::yield();
    session.shutdown();
    text = out.text();
  }
  EXPECT_NE(text.find("reloaded: 1 song changed, 1 new, 0 removed\n"), std::string::npos) << text;
  std::vector<uint64_t> a, b;
  std::vector<std::string> bFiles;
  for (const auto& note : heard.notes()) {
    if (note.song == 0) a.push_back(note.frame);
    if (note.song == 1) b.push_back(note.frame), bFiles.push_back(note.file);
  }
  // a keeps its one-second grid throughout.
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i] - a[0], 22050 * i);
  // b finishes its two-second repetition, then plays c.wav every 250 ms,
  // 5512.5 frames, with no rounding that adds up.
  std::size_t i = 0;
  while (i < bFiles.size() && bFiles[i] == "b.wav") ++i;
  ASSERT_LT(i, bFiles.size());
  EXPECT_EQ(i % 2, 0u);
  EXPECT_EQ(b[i] - b[0], 22050 * i);
  for (std::size_t j = i; j < b.size(); ++j) EXPECT_EQ(b[j] - b[i], (j - i) * 11025 / 2);
}

// Samples decode on every core at once, yet their lines come in playlist
// order: a start-up that fails on a slow sample tells nothing of a later one
// that failed sooner, and the checker tells both, in order.
TEST(Session, TellsSamplesInPlaylistOrderThoughTheyDecodeAtOnce) {
  testkit::TempDir dir;
  ASSERT_TRUE(dir.write("slow.wav", "takes 300 fails slow to fail"));
  ASSERT_TRUE(dir.write("quick.wav", "fails quick to fail"));
  ASSERT_TRUE(dir.write("ok.wav", "takes 100"));
  ASSERT_TRUE(dir.write("p.txt",
                        "s=(_main=(\"ok.wav\",\"slow.wav\",\"quick.wav\"));"
                        "t=(_main=\"quick.wav\");"));
  testkit::WorkingDirectory into(dir.path());
  std::string text;
  {
    testkit::StdoutCapture out;
    Session session(std::make_unique<FakeMixer>(), nullptr, 1);
    EXPECT_FALSE(session.initialize("p.txt"));
    EXPECT_GE(static_cast<FakeMixer&>(session.mixer()).mostAtOnce.load(), 2);
    session.release();
    text = out.text();
  }
  EXPECT_EQ(text,
            " : Unable to Open Audio File : \"slow.wav\" : slow to fail\n"
            "Error : Note::sound.load() returns false\n"
            "MultiPattern::growTree Error\n"
            "s : growTree error\n"
            "Analyzing File String Failed\n");
  std::string diagnostics;
  {
    testkit::StdoutCapture out;
    Session session(std::make_unique<FakeMixer>(), nullptr, 1);
    PlaylistChecker checker("p.txt", [&](const std::string& text) { diagnostics += text; });
    EXPECT_FALSE(checker.check(session, "p.txt"));
    session.release();
  }
  const std::size_t slow = diagnostics.find("cannot load sample \"slow.wav\": slow to fail");
  const std::size_t quick = diagnostics.find("cannot load sample \"quick.wav\": quick to fail");
  EXPECT_NE(slow, std::string::npos) << diagnostics;
  EXPECT_NE(quick, std::string::npos) << diagnostics;
  EXPECT_LT(slow, quick) << diagnostics;
}

}  // namespace

// A run of the live program against a fake mixer and clock: songs played on
// threads, reloaded and controlled while they play, and the lines of it all.

#include "app/session.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/controller.h"
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

ControlCommand controlCommand(const std::string& text) {
  ControlCommand parsed;
  std::string error;
  EXPECT_TRUE(ControlCommand::parse(text, parsed, error)) << error;
  return parsed;
}

// A muted song goes on keeping time; a reload that changes it keeps its
// mute, which belongs to its name.
TEST(Session, AMutedSongKeepsItsTimeAndItsMuteThroughAReload) {
  testkit::TempDir dir;
  for (const char* name : {"a.wav", "b.wav"}) ASSERT_TRUE(dir.write(name, "x"));
  testkit::WorkingDirectory into(dir.path());
  ASSERT_TRUE(dir.write("p.txt",
                        "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                        "b=(_main=(\"b.wav\",500);_param=_infinite,0,0);"));
  auto owned = std::make_unique<FakeMixer>();
  FakeMixer& mixer = *owned;
  auto clock = std::make_unique<testkit::FakeClock>(&mixer);
  Session session(std::move(owned), std::move(clock), 7);
  auto& time = *static_cast<testkit::FakeClock*>(session.clock());
  Controller controller(mixer, session.gains(), 1.0);
  controller.setSongs({"a", "b"});
  time.setLimit(0);
  const auto notesOf = [&](uint32_t song) {
    std::vector<FakeMixer::Note> notes;
    for (const auto& note : mixer.notes()) {
      if (note.song == song) notes.push_back(note);
    }
    return notes;
  };
  testkit::StdoutCapture out;
  ASSERT_TRUE(session.initialize("p.txt"));
  session.startPlayers(false);
  while (time.waiting() < 2) std::this_thread::yield();
  time.setLimit(2 * 22050);
  while (notesOf(1).size() < 4) std::this_thread::yield();
  controller.run(controlCommand("song b mute 1"));
  controller.run(controlCommand("song a volume 0.5"));
  time.setLimit(4 * 22050);
  while (notesOf(1).size() < 8) std::this_thread::yield();
  ASSERT_TRUE(dir.write("p.txt",
                        "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                        "b=(_main=(\"a.wav\",500);_param=_infinite,0,0);"));
  ASSERT_TRUE(session.reload("p.txt"));
  time.setLimit(8 * 22050);
  while (notesOf(1).size() < 16) std::this_thread::yield();
  session.shutdown();
  const auto b = notesOf(1);
  // Every half second, muted or not, before the reload and after it.
  for (std::size_t i = 1; i < b.size(); ++i) EXPECT_EQ(b[i].frame - b[i - 1].frame, 11025u) << i;
  std::size_t muted = 0;
  bool renamed = false;
  for (const auto& note : b) {
    // Notes handed over before the mute carry the gain they start with.
    if (note.gain == 0.0f) ++muted;
    renamed = renamed || (note.file == "a.wav" && note.gain == 0.0f);
  }
  EXPECT_GE(muted, 8u);
  EXPECT_TRUE(renamed) << "the reloaded song lost its mute";
  EXPECT_EQ(notesOf(0).back().gain, 0.5f);
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

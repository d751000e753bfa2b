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

// A session playing p.txt from dir, its files all decodable, on a fake
// mixer and a clock that stands still until told how far it may go.
struct SessionRig {
  testkit::TempDir dir;
  testkit::WorkingDirectory into{dir.path()};
  FakeMixer* mixer = new FakeMixer;  // owned by the session
  Session session{std::unique_ptr<FakeMixer>(mixer), std::make_unique<testkit::FakeClock>(mixer),
                  7};
  testkit::FakeClock& time = *static_cast<testkit::FakeClock*>(session.clock());

  // Starts every song at once, so that they share their origin.
  void start(std::initializer_list<const char*> files, const std::string& playlist) {
    for (const char* name : files) ASSERT_TRUE(dir.write(name, "x"));
    ASSERT_TRUE(dir.write("p.txt", playlist));
    time.setLimit(0);
    ASSERT_TRUE(session.initialize("p.txt"));
    session.startPlayers(false);
    while (time.waiting() < 2) std::this_thread::yield();
  }
  std::vector<FakeMixer::Note> notesOf(uint32_t song, const std::string& file = "") const {
    std::vector<FakeMixer::Note> notes;
    for (const auto& note : mixer->notes()) {
      if (note.song == song && (file.empty() || note.file == file)) notes.push_back(note);
    }
    return notes;
  }
};

TEST(Session, ReloadKeepsUnchangedSongsAndSwitchesChangedOnesAtTheirRepetitions) {
  SessionRig run;
  std::string text;
  {
    testkit::StdoutCapture out;
    ASSERT_NO_FATAL_FAILURE(
        run.start({"a.wav", "b.wav", "c.wav"},
                  "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                  "b=(_main=(\"b.wav\",1000,\"b.wav\",1000);_param=_infinite,0,0);"));
    run.time.setLimit(5 * 22050);
    // Until both songs have played a few notes; then b changes and c comes.
    while (run.notesOf(0, "a.wav").size() < 3 || run.notesOf(1, "b.wav").size() < 3) {
      std::this_thread::yield();
    }
    run.dir.write("p.txt",
                  "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                  "b=(_main=(\"c.wav\",250);_param=_infinite,0,0);"
                  "c=(_main=\"c.wav\");");
    EXPECT_TRUE(run.session.reload("p.txt"));
    run.time.setLimit(30 * 22050);
    while (run.notesOf(0, "a.wav").size() < 12 || run.notesOf(1, "c.wav").size() < 8) {
      std::this_thread::yield();
    }
    run.session.shutdown();
    text = out.text();
  }
  EXPECT_NE(text.find("reloaded: 1 song changed, 1 new, 0 removed\n"), std::string::npos) << text;
  const auto a = run.notesOf(0), b = run.notesOf(1);
  // a keeps its one-second grid throughout.
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].frame - a[0].frame, 22050 * i);
  // b finishes its two-second repetition, then plays c.wav every 250 ms,
  // 5512.5 frames, with no rounding that adds up.
  std::size_t i = 0;
  while (i < b.size() && b[i].file == "b.wav") ++i;
  ASSERT_LT(i, b.size());
  EXPECT_EQ(i % 2, 0u);
  EXPECT_EQ(b[i].frame - b[0].frame, 22050 * i);
  for (std::size_t j = i; j < b.size(); ++j)
    EXPECT_EQ(b[j].frame - b[i].frame, (j - i) * 11025 / 2);
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
  SessionRig run;
  Controller controller(*run.mixer, run.session.gains(), 1.0);
  controller.setSongs({"a", "b"});
  testkit::StdoutCapture out;
  ASSERT_NO_FATAL_FAILURE(run.start({"a.wav", "b.wav"},
                                    "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                                    "b=(_main=(\"b.wav\",500);_param=_infinite,0,0);"));
  run.time.setLimit(2 * 22050);
  while (run.notesOf(1).size() < 4) std::this_thread::yield();
  controller.run(controlCommand("song b mute 1"));
  controller.run(controlCommand("song a volume 0.5"));
  run.time.setLimit(4 * 22050);
  while (run.notesOf(1).size() < 8) std::this_thread::yield();
  ASSERT_TRUE(run.dir.write("p.txt",
                            "a=(_main=(\"a.wav\",1000);_param=_infinite,0,0);"
                            "b=(_main=(\"a.wav\",500);_param=_infinite,0,0);"));
  ASSERT_TRUE(run.session.reload("p.txt"));
  run.time.setLimit(8 * 22050);
  while (run.notesOf(1).size() < 16) std::this_thread::yield();
  run.session.shutdown();
  const auto b = run.notesOf(1);
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
  EXPECT_EQ(run.notesOf(0).back().gain, 0.5f);
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

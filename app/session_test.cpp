// A run of the live program against a fake mixer and clock: the lines of
// start-up, players and shutdown, and the notes of songs played on threads.

#include "app/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

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

TEST(Session, FailedStartUpStillShutsDownInFull) {
  testkit::TempDir dir;
  Session session(std::make_unique<FakeMixer>(), nullptr, 0);
  std::string text;
  {
    testkit::StdoutCapture out;
    EXPECT_FALSE(session.initialize(dir.file("none.txt")));
    session.shutdown();
    text = out.text();
  }
  EXPECT_EQ(text, "Unable to Open file \"" + dir.file("none.txt") +
                            "\"\nUnable to load file " + dir.file("none.txt") +
                            "\nterminating all threads...\nhalting 0 channels...done.\n"
                            "cleaning memory...done\naudio closed\nvelumora is terminated\n");
}

}  // namespace

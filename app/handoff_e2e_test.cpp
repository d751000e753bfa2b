// Notes handed to the real mixer ahead of their frames: refusals told before
// their song ends, songs that end while their notes wait, and reloads that
// give each change to its own song, as a listener hears them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "testing/child.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::Child;
using testkit::TempDir;
using testkit::Tone;

constexpr char kRefusal[] = "long.wav : Unable to play channel : No free channels available\n";

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++n;
  return n;
}

// Saves as editors do: a new file renamed onto the old one.
bool save(const TempDir& dir, const std::string& text) {
  return dir.write("p.new", text) &&
         rename(dir.file("p.new").c_str(), dir.file("p.txt").c_str()) == 0;
}

TEST(Handoff, EverySongEndsAfterItsRefusals) {
  // Six-second notes on 16 channels: twenty at once leave four refused;
  // 300 songs of one note each, 284, each song's before its end line.
  const std::string many = testkit::numberedSongs(300, "=(_main=\"long.wav\";_param=1,0,100);");
  const struct {
    std::string playlist;
    int songs;
    std::size_t refusals;
  } cases[] = {
      {"s=(_main=n;n=\"long.wav\";_param=20,0,100);", 1, 4},
      {many, 300, 284},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_TRUE(testkit::writeToneWav(dir.file("long.wav"), Tone{440, 6.0, 0.2}));
    ASSERT_TRUE(dir.write("p.txt", c.playlist));
    Child run(testkit::kVelumora, {"p.txt"}, dir.path(), testkit::kSilent);
    for (int waited = 0; count(run.out(), " done\n") < std::size_t(c.songs); waited += 100) {
      ASSERT_LT(waited, testkit::kPatienceMs);
      ASSERT_TRUE(run.runsAfter(100));
    }
    run.write("q\n");
    EXPECT_EQ(run.wait(), 0);
    const std::string& out = run.out();
    EXPECT_EQ(count(out, kRefusal), c.refusals);
    // Every song ended by itself, after its notes had all started.
    EXPECT_LT(out.rfind(" done\n"), out.find("terminating all threads"));
    if (c.songs == 1) {
      EXPECT_EQ(out.substr(out.find("playing 20")),
                "playing 20 time(s) of \"s\"\n" + std::string(kRefusal) + kRefusal + kRefusal +
                    kRefusal + "s done\n" + testkit::shutdownLines(16));
    }
  }
}

TEST(Handoff, EachReloadReachesItsOwnSong) {
  // Each song loops a one-second tone without a gap.
  const auto song = [](const std::string& name, const std::string& file, int distance) {
    return name + "=(_main=(\"" + file + "\",1000);_param=_infinite,0," + std::to_string(distance) +
           ");";
  };
  const std::string a = song("a", "a.wav", 100), b = song("b", "b.wav", 100),
                    c = song("c", "c.wav", 100);
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> edits;  // text, then the line it gives
    double a, b, c;                                          // levels heard, of full scale
  } cases[] = {
      // The first goes, then the second (now first) is moved away.
      {"remove then change",
       {{b + c, "reloaded: 0 songs changed, 0 new, 1 removed\n"},
        {song("b", "b.wav", 200) + c, "reloaded: 1 song changed, 0 new, 0 removed\n"}},
       0,
       55.0 / 255,
       155.0 / 255},
      // Songs swap places and one is renamed: a removal and a new song.
      {"reorder and rename",
       {{c + song("bb", "b.wav", 200) + song("a", "a.wav", 50),
         "reloaded: 1 song changed, 1 new, 1 removed\n"}},
       205.0 / 255,
       55.0 / 255,
       155.0 / 255},
  };
  for (const auto& row : cases) {
    TempDir dir;
    for (const auto& [name, hz] : {std::pair{"a.wav", 440.0}, {"b.wav", 660.0}, {"c.wav", 880.0}})
      ASSERT_TRUE(testkit::writeToneWav(dir.file(name), Tone{hz, 1.0, 0.2}));
    ASSERT_TRUE(save(dir, a + b + c));
    Child run(testkit::kVelumora, {"--watch", "p.txt"}, dir.path(),
              testkit::diskEnv(dir.file("live.raw")));
    ASSERT_TRUE(run.waitFor("playing infinite time(s) of \"c\"\n"));
    for (const auto& [text, line] : row.edits) {
      run.runsAfter(400);
      ASSERT_TRUE(save(dir, text));
      ASSERT_TRUE(run.waitFor(line)) << row.what;
    }
    // Each change is taken up within a repetition.
    run.runsAfter(3000);
    run.write("q\n");
    EXPECT_EQ(run.wait(), 0);
    // Each song's tone, over a second that ends half a second before the end.
    testkit::StereoCapture heard;
    ASSERT_TRUE(testkit::readStereoCapture(dir.file("live.raw"), heard));
    const int rate = testkit::diskRate();
    ASSERT_GT(heard.frames(), std::size_t(rate) * 3 / 2);
    const std::size_t from = heard.frames() - std::size_t(rate) * 3 / 2;
    // A tone of 0.2 of full scale at distance d: 0.2 * 32767 * (255 - d) / 255.
    const double unit = 0.2 * 32767;
    for (const auto& [hz, level] : {std::pair{440.0, row.a}, {660.0, row.b}, {880.0, row.c}}) {
      EXPECT_NEAR(testkit::toneAmplitude(heard.left, from, rate, hz, rate), level * unit,
                  0.1 * unit)
          << row.what << ", " << hz << " Hz";
    }
  }
}

// The players' threads, now.
int threadsOf(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

TEST(Handoff, SavingEveryFiftyMillisecondsWhileNotesAreRefused) {
  // A flood of notes that mostly find no channel, songs removed, added and
  // changed at every save, for twelve seconds: nothing a queued note needs
  // may go before the mixer is done with it, and removed songs end.
  TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("long.wav"), Tone{440, 2.0, 0.1}));
  ASSERT_TRUE(testkit::writeToneWav(dir.file("short.wav"), Tone{660, 0.2, 0.1}));
  const std::string flood =
      "f=(_main=(\"long.wav\",\"long.wav\",\"short.wav\",30);_param=_infinite,";
  const std::string texts[] = {
      flood + "0,10);g=(_main=(\"short.wav\",50);_param=_infinite,90,0);",
      "g=(_main=(\"long.wav\",70);_param=_infinite,90,0);" + flood +
          "90,20);h=(_main=\"short.wav\";);",
      flood + "270,30);",
  };
  ASSERT_TRUE(save(dir, texts[0]));
  Child run(testkit::kVelumora, {"--watch", "p.txt"}, dir.path(), testkit::kSilent);
  ASSERT_TRUE(run.waitFor("playing infinite time(s) of \"g\"\n"));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(12);
  for (int i = 1; std::chrono::steady_clock::now() < end; ++i) {
    ASSERT_TRUE(save(dir, texts[i % 3]));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // What the last save leaves: the flood alone.
  ASSERT_TRUE(save(dir, texts[2]));
  run.runsAfter(1500);
  EXPECT_GT(count(run.out(), "reloaded: "), 10u);
  EXPECT_GT(count(run.out(), "long.wav : Unable to play channel"), 0u);
  // SDL's few threads, the watcher's and the player of one song.
  EXPECT_LT(threadsOf(run.pid()), 12);
  run.write("q\n");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_NE(run.out().find("audio closed\nvelumora is terminated\n"), std::string::npos);
}

}  // namespace

TEST(Handoff, ReloadsRefuseWhatCannotBeReadAndFollowLinks) {
  TempDir dir;
  const std::string song = "a=(_main=(\"t.wav\",100);_param=_infinite,0,100);";
  ASSERT_TRUE(testkit::writeToneWav(dir.file("t.wav"), Tone{440, 0.05, 0.1}));
  ASSERT_EQ(mkdir(dir.file("real").c_str(), 0700), 0);
  ASSERT_TRUE(dir.write("real/list.txt", song));
  ASSERT_EQ(symlink("real/list.txt", dir.file("p.txt").c_str()), 0);
  Child run(testkit::kVelumora, {"--watch", "p.txt"}, dir.path(), testkit::kSilent);
  ASSERT_TRUE(run.waitFor("playing infinite time(s) of \"a\"\n"));
  // The file behind the link is edited.
  ASSERT_TRUE(dir.write("real/list.txt", song + "b=(_main=100;_param=1,0,0);"));
  ASSERT_TRUE(run.waitFor("reloaded: 0 songs changed, 1 new, 0 removed\n"));
  ASSERT_TRUE(run.waitFor("b done\n"));
  // A save that leaves the file empty for a moment ends nothing.
  ASSERT_TRUE(dir.write("real/list.txt", ""));
  run.runsAfter(250);
  ASSERT_TRUE(dir.write("real/list.txt", song));
  ASSERT_TRUE(run.waitFor("reloaded: 0 songs changed, 0 new, 1 removed\n"));
  EXPECT_EQ(run.out().find("a done"), std::string::npos);
  // A sample saved again as it was changes no song.
  ASSERT_TRUE(testkit::writeToneWav(dir.file("t.wav"), Tone{440, 0.05, 0.1}));
  ASSERT_TRUE(run.waitFor("reloaded: 0 songs changed, 0 new, 0 removed\n"));
  // A save that cannot be understood is told where, and changes nothing.
  ASSERT_TRUE(dir.write("real/list.txt", "a=(_main=(100,nothing));"));
  EXPECT_TRUE(
      run.waitFor("p.txt:1:15: error: no pattern is named \"nothing\"\n"
                  " a=(_main=(100,nothing));\n"
                  "               ^\n"
                  "can't understand as Pattern Object \"nothing\"\n"
                  "MultiPattern::growTree Error\na : growTree error\n"
                  "reload failed: the songs play on as they were\n"));
  // A FIFO, and a file larger than a reload reads, put in its place.
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  ASSERT_EQ(rename(dir.file("fifo").c_str(), dir.file("p.txt").c_str()), 0);
  EXPECT_TRUE(
      run.waitFor("reload failed: \"p.txt\" is not a regular file; "
                  "the songs play on as they were\n"));
  ASSERT_TRUE(dir.write("big", std::string(17 << 20, ' ')));
  ASSERT_EQ(rename(dir.file("big").c_str(), dir.file("p.txt").c_str()), 0);
  EXPECT_TRUE(
      run.waitFor("reload failed: \"p.txt\" is larger than 16 MB; "
                  "the songs play on as they were\n"));
  run.write("q\n");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_NE(run.out().find("terminating all threads...\na done\n"), std::string::npos) << run.out();
}

TEST(Handoff, SongsBeyondTheThreadLimitAreToldByName) {
  // Under a limit of 40 processes, at most 20 players run at once.
  TempDir dir;
  ASSERT_TRUE(
      dir.write("p.txt", testkit::numberedSongs(30, "=(_main=1000;_param=_infinite,0,0);")));
  Child run("/usr/bin/prlimit", {"--nproc=40", testkit::kVelumora, "p.txt"}, dir.path(),
            testkit::kSilent);
  ASSERT_TRUE(run.waitFor("can't start the player of song \"s29\""));
  run.write("q\n");
  EXPECT_EQ(run.wait(), 0);
  // Root is not held to the limit, so only the cap refuses songs; another
  // user may meet the limit itself first.
  const std::size_t told = count(run.out(), "can't start the player of song ");
  if (geteuid() == 0) {
    EXPECT_EQ(count(run.out(), " : more than 20 songs play at once\n"), 10u) << run.out();
  } else {
    EXPECT_GE(told, 10u);
  }
  EXPECT_EQ(count(run.out(), "playing infinite time(s)"), 30 - told);
}

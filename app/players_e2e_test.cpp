// Song players and sounds seen from outside: start and end lines, loop
// counts, stopping, busy channels and samples that cannot be loaded.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/velumora_run.h"
#include "testing/wav.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testkit::failedStartOutput;
using testkit::kPatience;
using testkit::kStartedLines;
using testkit::shutdownLines;
using testkit::splitLines;
using testkit::startVelumora;
using testkit::TempDir;

constexpr char kTerminating[] = "terminating all threads...\n";

// Shutdown with `during` printed between its first line and "halting".
std::string shutdownWith(const std::string& during, int channels) {
  return kTerminating + during + shutdownLines(channels).substr(sizeof kTerminating - 1);
}

// A playing stop must end a song within about a second; this leaves ample
// room for a loaded machine and sanitizers.
constexpr milliseconds kStopBound{4000};

// ---------------------------------------------------------------------------
// Loop counts: when the start and end lines appear.

struct LoopCase {
  const char* name;
  const char* playlist;
  const char* startLine;
  bool endsByItself;     // false: its end line comes during shutdown
  milliseconds atLeast;  // the pauses that must pass before it ends by itself
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.name; }

class Loops : public ::testing::TestWithParam<LoopCase> {};

TEST_P(Loops, StartAndEndLinesAtTheRightMoments) {
  const LoopCase& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(dir.write("playlist.txt", c.playlist));
  auto run = startVelumora(dir, {});
  ASSERT_TRUE(run);
  const std::string start = std::string(c.startLine) + "\n";
  std::string expected;
  if (c.endsByItself) {
    ASSERT_TRUE(run->waitForOutput("x done\n", kPatience));
    EXPECT_GE(Clock::now() - run->startTime(), c.atLeast);
    expected = kStartedLines + start + "x done\n" + shutdownLines(0);
  } else {
    ASSERT_TRUE(run->waitForOutput(start, kPatience));
    // Still playing a while later.
    EXPECT_TRUE(run->stillRunningAfter(milliseconds(500)));
    EXPECT_EQ(run->output().find("x done"), std::string::npos);
    expected = kStartedLines + start + shutdownWith("x done\n", 0);
  }
  const auto quit = Clock::now();
  ASSERT_TRUE(run->write("q\n"));
  EXPECT_EQ(run->waitForExit(kPatience), 0);
  EXPECT_LT(Clock::now() - quit, kStopBound);
  EXPECT_EQ(run->output(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Players, Loops,
    ::testing::Values(LoopCase{"Zero", "x=(_main=100000;_param=0,0,0);",
                               "playing 0 time(s) of \"x\"", true, milliseconds(0)},
                      LoopCase{"DefaultIsOnce", "x=(_main=300);", "playing 1 time(s) of \"x\"",
                               true, milliseconds(300)},
                      LoopCase{"Five", "x=(_main=200;_param=5,0,0);", "playing 5 time(s) of \"x\"",
                               true, milliseconds(1000)},
                      LoopCase{"FiveOfASequence", "x=(_main=(100,p,50to50);p=50;_param=5,0,0);",
                               "playing 5 time(s) of \"x\"", true, milliseconds(1000)},
                      LoopCase{"Infinite", "x=(_main=50;_param=_infinite,0,0);",
                               "playing infinite time(s) of \"x\"", false, milliseconds(0)},
                      LoopCase{"InfiniteWithoutPauses", "x=(_main=0;_param=_infinite,0,0);",
                               "playing infinite time(s) of \"x\"", false, milliseconds(0)},
                      LoopCase{"InsideLongPause", "x=(_main=100000;_param=1,0,0);",
                               "playing 1 time(s) of \"x\"", false, milliseconds(0)},
                      LoopCase{"InsideLongRandomPause", "x=(_main=(100000to200000);_param=3,0,0);",
                               "playing 3 time(s) of \"x\"", false, milliseconds(0)}),
    [](const ::testing::TestParamInfo<LoopCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Many songs at once: every start and end line whole, each song's start
// before its end.

TEST(PlayersTest, LinesOfManySongsNeverTear) {
  TempDir dir;
  constexpr int kSongs = 12;
  std::string playlist;
  for (int i = 0; i < kSongs; ++i)
    playlist +=
        "song" + std::to_string(i) + "=(_main=(0,1,0);_param=" + std::to_string(i % 3) + ",0,0);\n";
  ASSERT_TRUE(dir.write("playlist.txt", playlist));
  auto run = startVelumora(dir, {});
  ASSERT_TRUE(run);
  ASSERT_TRUE(run->waitForOutputCount(" done\n", kSongs, kPatience));
  ASSERT_TRUE(run->write("q\n"));
  ASSERT_EQ(run->waitForExit(kPatience), 0);

  const std::string& out = run->output();
  const std::string started = kStartedLines;
  const std::string finished = shutdownLines(0);
  ASSERT_EQ(out.compare(0, started.size(), started), 0) << out;
  ASSERT_GE(out.size(), started.size() + finished.size()) << out;
  ASSERT_EQ(out.substr(out.size() - finished.size()), finished) << out;
  const std::vector<std::string> lines =
      splitLines(out.substr(started.size(), out.size() - started.size() - finished.size()));

  std::vector<std::string> expected;
  for (int i = 0; i < kSongs; ++i) {
    const std::string name = "song" + std::to_string(i);
    const std::string startLine =
        "playing " + std::to_string(i % 3) + " time(s) of \"" + name + "\"";
    const std::string endLine = name + " done";
    expected.push_back(startLine);
    expected.push_back(endLine);
    const auto startAt = std::find(lines.begin(), lines.end(), startLine);
    const auto endAt = std::find(lines.begin(), lines.end(), endLine);
    EXPECT_TRUE(startAt < endAt) << name << " in\n" << out;
  }
  std::vector<std::string> got = lines;
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected) << out;
}

// ---------------------------------------------------------------------------
// Channels: sounds that are still playing at "q" are halted and counted, and
// a seventeenth sound finds no channel.

struct HaltCase {
  const char* name;
  std::string playlist;            // every sample is the ten-second tone "long.wav"
  int halted;                      // channels counted at shutdown
  std::vector<std::string> songs;  // each plays once
  int refusedPlays;                // "Unable to play channel" lines
};

void PrintTo(const HaltCase& c, std::ostream* os) { *os << c.name; }

std::string notes(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) list += std::string(i ? "," : "") + "\"long.wav\"";
  return list;
}

class Channels : public ::testing::TestWithParam<HaltCase> {};

TEST_P(Channels, PlayingSoundsAreHaltedAtShutdown) {
  const HaltCase& c = GetParam();
  TempDir dir;
  testkit::Tone tone;
  tone.seconds = 10;  // far longer than any run of this test
  tone.amplitude = 0.1;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("long.wav"), tone));
  ASSERT_TRUE(testkit::writeToneWav(dir.file("my long.wav"), tone));
  ASSERT_TRUE(dir.write("playlist.txt", c.playlist));
  auto run = startVelumora(dir, {});
  ASSERT_TRUE(run);
  for (const std::string& song : c.songs)
    ASSERT_TRUE(run->waitForOutput(song + " done\n", kPatience));
  ASSERT_TRUE(run->write("q\n"));
  ASSERT_EQ(run->waitForExit(kPatience), 0);

  const std::string& out = run->output();
  const std::string started = kStartedLines;
  const std::string finished = shutdownLines(c.halted);
  ASSERT_EQ(out.compare(0, started.size(), started), 0) << out;
  ASSERT_GE(out.size(), started.size() + finished.size()) << out;
  EXPECT_EQ(out.substr(out.size() - finished.size()), finished) << out;
  std::vector<std::string> lines =
      splitLines(out.substr(started.size(), out.size() - started.size() - finished.size()));

  std::vector<std::string> expected;
  for (const std::string& song : c.songs) {
    expected.push_back("playing 1 time(s) of \"" + song + "\"");
    expected.push_back(song + " done");
  }
  // The mixer's own words follow the fixed text; they must be there.
  const std::string refused = "long.wav : Unable to play channel : ";
  for (std::string& line : lines) {
    if (line.compare(0, refused.size(), refused) == 0) {
      EXPECT_GT(line.size(), refused.size()) << line;
      line = refused;
    }
  }
  for (int i = 0; i < c.refusedPlays; ++i) expected.push_back(refused);
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Players, Channels,
    ::testing::Values(
        HaltCase{"OneSound", "x=(_main=\"long.wav\";_param=1,0,0);", 1, {"x"}, 0},
        HaltCase{"NameWithBlank", "x=(_main=\"my long.wav\";_param=1,0,0);", 1, {"x"}, 0},
        HaltCase{"SharedSampleInTwoSongs",
                 "x=(_main=\"long.wav\";_param=1,90,0);y=(_main=(\"long.wav\",0,\"long.wav\"));",
                 3,
                 {"x", "y"},
                 0},
        HaltCase{"SixteenFillAllChannels", "x=(_main=(" + notes(16) + "));", 16, {"x"}, 0},
        HaltCase{"TwentyLeaveFourUnplayed", "x=(_main=(" + notes(20) + "));", 16, {"x"}, 4},
        HaltCase{"TwoSongsCompeteForChannels",
                 "x=(_main=(" + notes(10) + "));y=(_main=(" + notes(10) + "));",
                 16,
                 {"x", "y"},
                 4}),
    [](const ::testing::TestParamInfo<HaltCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Samples that cannot be loaded stop the start-up.

struct BadSampleCase {
  const char* name;
  std::string fileName;  // as written between the quotes
  const char* content;   // null: no such file; "/": a directory
};

void PrintTo(const BadSampleCase& c, std::ostream* os) { *os << c.name; }

class BadSample : public ::testing::TestWithParam<BadSampleCase> {};

TEST_P(BadSample, ReportsFileAndStopsStartUp) {
  const BadSampleCase& c = GetParam();
  TempDir dir;
  if (c.content != nullptr && std::string(c.content) == "/") {
    ASSERT_EQ(mkdir(dir.file(c.fileName).c_str(), 0700), 0);
  } else if (c.content != nullptr) {
    ASSERT_TRUE(dir.write(c.fileName, c.content));
  }
  // A good sample in an earlier song is loaded, then freed at shutdown.
  testkit::Tone tone;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("good.wav"), tone));
  ASSERT_TRUE(dir.write("playlist.txt", "fine=(_main=\"good.wav\");\nx=(_main=(\"good.wav\",\"" +
                                            c.fileName + "\");_param=1,0,0);\n"));
  auto run = startVelumora(dir, {});
  ASSERT_TRUE(run);
  EXPECT_EQ(run->waitForExit(kPatience), 255);

  const std::string& out = run->output();
  const std::string head =
      "Velumora ver 1.0.1\ninitializing... : Unable to Open Audio File : \"" + c.fileName + "\" : ";
  ASSERT_EQ(out.compare(0, head.size(), head), 0) << out;
  const std::size_t lineEnd = out.find('\n', head.size());
  ASSERT_NE(lineEnd, std::string::npos) << out;
  EXPECT_GT(lineEnd, head.size()) << "no SDL error text in\n" << out;
  const std::string sdlText = out.substr(head.size(), lineEnd - head.size());
  EXPECT_EQ(out,
            failedStartOutput(" : Unable to Open Audio File : \"" + c.fileName + "\" : " + sdlText +
                              "\n"
                              "Error : Note::sound.load() returns false\n"
                              "MultiPattern::growTree Error\n"
                              "x : growTree error\n"
                              "Analyzing File String Failed\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Sounds, BadSample,
    ::testing::Values(BadSampleCase{"MissingFile", "nofile.wav", nullptr},
                      BadSampleCase{"EmptyName", "", nullptr},
                      BadSampleCase{"TextNamedWav", "x.wav", "this is not a sound\n"},
                      BadSampleCase{"EmptyFile", "empty.wav", ""},
                      BadSampleCase{"Directory", "folder.wav", "/"},
                      BadSampleCase{"CaseDiffers", "GOOD.wav", nullptr}),
    [](const ::testing::TestParamInfo<BadSampleCase>& info) { return info.param.name; });

}  // namespace

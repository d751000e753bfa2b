// velumora as a user meets it: start-up, the console, signals, options and
// shutdown, on its exact standard output and exit status.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>

#include "testing/child.h"
#include "testing/temp_dir.h"

namespace {

using testkit::Child;
using testkit::kSilent;
using testkit::kStarted;
using testkit::kVelumora;
using testkit::shutdownLines;
using testkit::TempDir;

constexpr char kPrompt[] = "type 'q' and enter to exit\n";
constexpr char kClosed[] = "input closed: playing until interrupted\n";

TEST(Console, EndsOnAWordOrASignal) {
  const struct {
    std::string input;
    bool close;
    int signal;
    std::string between;  // after the start-up lines
  } cases[] = {
      {"q\n", false, 0, ""},
      {"exit\n", false, 0, ""},
      {"Q EXIT hello\nq world\n", false, 0, std::string(kPrompt) + kPrompt + kPrompt},
      {" \t\nqq\r\n\v\fexit.\tq\n", false, 0, std::string(kPrompt) + kPrompt},
      {"hello q", true, 0, kPrompt},
      {std::string(100000, 'w') + " exit\n", false, 0, kPrompt},
      {"", true, SIGTERM, kClosed},
      {"hello", true, SIGINT, std::string(kPrompt) + kClosed},
      {"", false, SIGHUP, ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_TRUE(dir.write("playlist.txt", ""));
    Child run(kVelumora, {}, dir.path(), kSilent);
    ASSERT_TRUE(run.waitFor(kStarted));
    run.write(c.input);
    if (c.close) run.closeInput();
    if (c.signal != 0) {
      ASSERT_TRUE(run.waitFor(kStarted + c.between));
      // Closed input alone neither ends the program nor repeats itself.
      EXPECT_TRUE(run.runsAfter(300));
      run.signal(c.signal);
    }
    EXPECT_EQ(run.wait(), 0);
    EXPECT_EQ(run.out(), kStarted + c.between + shutdownLines(0)) << c.input.substr(0, 20);
  }
}

TEST(Console, ChoosesItsPlaylistAndOptions) {
  // The first word that is not an option names the playlist (with none,
  // playlist.txt plays, as above; --seed before it, as in sound_e2e_test.cpp).
  TempDir dir;
  ASSERT_TRUE(dir.write("other.txt", "other=(_main=1;_param=0,0,0);"));
  Child first(kVelumora, {"other.txt", "second.txt", "none"}, dir.path(), kSilent);
  EXPECT_TRUE(first.waitFor("playing 0 time(s) of \"other\"\nother done\n"));
  first.write("q\n");
  EXPECT_EQ(first.wait(), 0);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // how standard output begins
  } cases[] = {
      {{"--help"}, 0, "usage: velumora [options] [PLAYLIST]\n"},
      {{"--version"}, 0, "velumora 1.0.1\n"},
      // After "--" every word is a name, even one that looks like an option.
      {{"--", "--help"},
       255,
       "Velumora ver 1.0.1\ninitializing...Unable to Open file \"--help\"\n"},
      // Usage errors say so on standard error alone.
      {{"--bogus"}, 2, ""},
      {{"--seed"}, 2, ""},
      {{"--seed", "x"}, 2, ""},
      // Fades of up to a day, as the manual page says.
      {{"--fade-in", "1h30m", "--fade-out", "24h", "none.txt"}, 255, "Velumora ver 1.0.1\n"},
      {{"--fade-in", "24h1s"}, 2, ""},
      // Rates and speakers that SDL can open; the rest are refused as usage.
      {{"--rate", "96000", "--channels", "4", "none.txt"}, 255, "Velumora ver 1.0.1\n"},
      {{"--rate", "8000", "--channels", "2", "none.txt"}, 255, "Velumora ver 1.0.1\n"},
      {{"--rate", "7999"}, 2, ""},
      {{"--rate", "192001"}, 2, ""},
      {{"--rate", "48k"}, 2, ""},
      {{"--channels", "5"}, 2, ""},
      {{"--channels", "8"}, 2, ""},
  };
  for (const auto& c : cases) {
    const auto run = testkit::runToEnd(kVelumora, c.args, dir.path());
    EXPECT_EQ(run.status, c.status) << c.args.back();
    EXPECT_EQ(run.out.substr(0, c.out.size()), c.out) << run.out;
    if (c.status == 2) {
      EXPECT_EQ(run.out, "");
      EXPECT_NE(run.err.find("usage: velumora"), std::string::npos) << run.err;
    }
    if (c.args[0] == std::string("--rate") && c.status == 2) {
      EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
                "velumora: --rate needs a rate in Hz from 8000 to 192000, such as 44100 or 48000");
    }
    if (c.args[0] == std::string("--channels") && c.status == 2) {
      EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
                "velumora: --channels needs 2 (stereo), 4 (quad) or 6 (5.1)");
    }
  }
}

TEST(Console, FailedStartUpEndsWithStatus255) {
  TempDir dir;
  ASSERT_TRUE(dir.write("p.txt", "fine=(_main=1;_param=2,0,0);\nx=(_main=(\"gone.wav\",1));"));
  ASSERT_TRUE(dir.write("q.txt", "x=(_main=1);"));
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string messages;
    std::string located;  // standard error, on the dummy driver
  } cases[] = {
      {{"none.txt"},
       kSilent,
       "Unable to Open file \"none.txt\"\nUnable to load file none.txt\n",
       ""},
      {{"p.txt"},
       kSilent,
       " : Unable to Open Audio File : \"gone.wav\" : Mix_LoadWAV_RW with NULL src\n"
       "Error : Note::sound.load() returns false\nMultiPattern::growTree Error\n"
       "x : growTree error\nAnalyzing File String Failed\n",
       // Where, on standard error, as velumora-check shows it.
       "p.txt:2:11: error: no sample file \"gone.wav\" was found\n"
       " x=(_main=(\"gone.wav\",1));\n           ^\np.txt:2:11: note: tried \"gone.wav\"\n"},
      // Classic SDL starts without a driver and cannot open a device;
      // sdl12-compat (SDL2) does not start.
      {{"q.txt"},
       {"SDL_AUDIODRIVER=nosuchdriver"},
       testkit::onCompat() ? "SDL initialization error : " : "Unable to open audio! : ",
       ""},
  };
  for (const auto& c : cases) {
    const auto run = testkit::runToEnd(kVelumora, c.args, dir.path(), c.env);
    EXPECT_EQ(run.status, 255);
    const std::size_t at = run.out.find(c.messages);
    EXPECT_EQ(at, std::string("Velumora ver 1.0.1\ninitializing...").size()) << run.out;
    const std::size_t failed = run.out.find("Velumora Initialization Failed\n");
    ASSERT_NE(failed, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(failed), "Velumora Initialization Failed\n" + shutdownLines(0));
    if (c.env == kSilent) {
      EXPECT_EQ(run.err, c.located);
    }
  }
}

TEST(Console, AReaderThatNeverReadsHoldsNothingUp) {
  // Thousands of songs that print as they start and end fill the pipe
  // before they are done; q or a signal must still end the program.
  TempDir dir;
  ASSERT_TRUE(dir.write("p.txt", testkit::numberedSongs(3000, "=(_main=1;_param=1,0,0);")));
  for (const int signal : {0, SIGTERM}) {
    Child run(kVelumora, {"p.txt"}, dir.path(), kSilent, Child::Output::kUnreadPipe);
    ASSERT_TRUE(run.waitUntilOutputFull());
    // Time for the rest of the lines to pile up behind it; then the reader
    // reads a little and stops again.
    EXPECT_TRUE(run.runsAfter(300));
    run.readOutput(16384);
    ASSERT_TRUE(run.waitUntilOutputFull());
    const auto asked = std::chrono::steady_clock::now();
    if (signal == 0) run.write("q\n");
    if (signal != 0) run.signal(signal);
    EXPECT_EQ(run.wait(), 0) << signal;
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3)) << signal;
    // What did get through is whole lines.
    EXPECT_EQ(run.out().find(kStarted), 0u);
    EXPECT_EQ(run.out().back(), '\n');
  }
}

TEST(Console, OneMoreEndCutsTheFadeOutShort) {
  TempDir dir;
  ASSERT_TRUE(dir.write("playlist.txt", ""));
  const struct {
    std::vector<std::string> args;
    // The first end, by input or a signal (neither: the sleep timer), then
    // one more.
    std::string first;
    int firstSignal;
    std::string second;
    int secondSignal;
    std::string between;  // after the start-up lines
  } cases[] = {
      {{"--fade-out", "60"}, "q\n", 0, "q\n", 0, ""},
      {{"--fade-out", "60"}, "exit\n", 0, "", SIGTERM, ""},
      {{"--fade-out", "60"}, "", SIGINT, "", SIGINT, ""},
      {{"--fade-out", "60"}, "", SIGHUP, "exit\n", 0, ""},
      {{"--sleep", "0.2", "--fade-out", "60"}, "", 0, "q\n", 0, "sleep timer: ending\n"},
  };
  for (const auto& c : cases) {
    Child run(kVelumora, c.args, dir.path(), kSilent);
    ASSERT_TRUE(run.waitFor(kStarted + c.between));
    run.write(c.first);
    if (c.firstSignal != 0) run.signal(c.firstSignal);
    // The fade goes on until something more comes.
    EXPECT_TRUE(run.runsAfter(500)) << c.first << c.firstSignal;
    const auto asked = std::chrono::steady_clock::now();
    run.write(c.second);
    if (c.secondSignal != 0) run.signal(c.secondSignal);
    EXPECT_EQ(run.wait(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2))
        << c.second << c.secondSignal;
    EXPECT_EQ(run.out(), kStarted + c.between + shutdownLines(0));
  }
}

}  // namespace

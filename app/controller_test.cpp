// The commands of a run against a fake mixer: what each changes, what it
// prints, what it records, and how a song's level follows its name.

#include "app/controller.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <fstream>
#include <thread>

#include "app/control_script.h"
#include "pattern/song_gains.h"
#include "testing/fakes.h"
#include "testing/temp_dir.h"

// Named, so that no helper here meets another test's in a unity build.
namespace controller_test {
namespace {

using Kind = ControlCommand::Kind;
using Outcome = Controller::Outcome;
using testkit::FakeMixer;

ControlCommand command(const std::string& text) {
  ControlCommand parsed;
  std::string error;
  EXPECT_TRUE(ControlCommand::parse(text, parsed, error)) << text << ": " << error;
  return parsed;
}

class ControllerTest : public ::testing::Test {
 protected:
  ControllerTest() { controller_.setSongs({"rain", "wind", "rain"}); }

  // Runs each command, and what they printed.
  std::string run(const std::vector<std::string>& commands, Outcome* last = nullptr) {
    testkit::StdoutCapture out;
    for (const std::string& text : commands) {
      const Outcome outcome = controller_.run(command(text));
      if (last != nullptr) *last = outcome;
    }
    return out.text();
  }

  FakeMixer mixer_;
  SongGains gains_;
  Controller controller_{mixer_, gains_, 1.0};
};

TEST_F(ControllerTest, PrintsALineOnlyForWhatChanges) {
  const struct {
    std::vector<std::string> commands;
    std::string printed;
  } cases[] = {
      {{"pause", "pause", "play", "play"}, "paused\nplaying\n"},
      {{"volume 0.6", "volume 0.6", "volume 1"}, "volume 60%\nvolume 100%\n"},
      // Levels are kept to four decimals: 0.600001 is 0.6.
      {{"volume 0.6", "volume 0.600001", "volume 2.505"}, "volume 60%\nvolume 251%\n"},
      {{"song rain mute 1", "song rain mute 1", "song rain volume 0.5", "song rain mute 0"},
       "song \"rain\" muted\nsong \"rain\" volume 50%\nsong \"rain\" unmuted\n"},
      {{"song wind volume 1", "song nobody volume 0.5"}, ""},
  };
  for (const auto& c : cases) {
    Controller controller(mixer_, gains_, 1.0);
    controller.setSongs({"rain", "wind"});
    testkit::StdoutCapture out;
    for (const std::string& text : c.commands) controller.run(command(text));
    EXPECT_EQ(out.text(), c.printed) << c.commands[0];
  }
}

TEST_F(ControllerTest, CarriesOutEachCommandThroughTheMixer) {
  Outcome outcome;
  run({"pause"}, &outcome);
  EXPECT_EQ(outcome, Outcome::kChanged);
  EXPECT_TRUE(mixer_.paused());
  EXPECT_TRUE(controller_.state().paused);
  // A media key's toggle: play, then pause again.
  run({"pause"}, &outcome);
  EXPECT_EQ(outcome, Outcome::kUnchanged);
  ControlCommand toggle;
  toggle.kind = Kind::kToggle;
  {
    testkit::StdoutCapture out;
    EXPECT_EQ(controller_.run(toggle), Outcome::kChanged);
    EXPECT_FALSE(mixer_.paused());
    EXPECT_EQ(controller_.run(toggle), Outcome::kChanged);
    EXPECT_TRUE(mixer_.paused());
    EXPECT_EQ(out.text(), "playing\npaused\n");
  }

  run({"volume 0.25"});
  EXPECT_EQ(mixer_.volume(), 0.25);
  EXPECT_EQ(controller_.state().volume, 0.25);

  // A muted song's gain is 0 and its level comes back with it; the mixer
  // is told each time.
  const auto rain = gains_.of("rain");
  const int updates = mixer_.gainUpdates();
  run({"song rain volume 0.5", "song rain mute 1"});
  EXPECT_EQ(rain->value(), 0.0f);
  run({"song rain mute 0"});
  EXPECT_EQ(rain->value(), 0.5f);
  EXPECT_EQ(mixer_.gainUpdates(), updates + 3);
  EXPECT_EQ(gains_.of("wind")->value(), 1.0f);
  // Two songs of one name are one to the controller.
  const auto songs = controller_.state().songs;
  ASSERT_EQ(songs.size(), 3u);
  EXPECT_EQ(songs[0].volume, 0.5);
  EXPECT_EQ(songs[2].volume, 0.5);
  EXPECT_FALSE(songs[1].muted);

  run({"song rian mute 1"}, &outcome);
  EXPECT_EQ(outcome, Outcome::kUnknownSong);
}

TEST_F(ControllerTest, QuitReachesTheConsoleOnceEachAndEndsTheOtherCommands) {
  const auto readable = [&] {
    pollfd ready = {controller_.quitDescriptor(), POLLIN, 0};
    return poll(&ready, 1, 0) == 1;
  };
  EXPECT_FALSE(readable());
  EXPECT_EQ(run({"quit", "quit"}), "quit: ending\n");
  EXPECT_TRUE(controller_.takeQuit());
  EXPECT_TRUE(controller_.takeQuit());
  EXPECT_FALSE(controller_.takeQuit());
  EXPECT_FALSE(readable());
  Outcome outcome;
  EXPECT_EQ(run({"pause"}, &outcome), "");
  EXPECT_EQ(outcome, Outcome::kEnding);
  EXPECT_FALSE(mixer_.paused());
  // q ended the run: a quit then only cuts the fade short, silently.
  Controller other(mixer_, gains_, 1.0);
  other.endCommands();
  testkit::StdoutCapture out;
  EXPECT_EQ(other.run(command("quit")), Outcome::kChanged);
  EXPECT_EQ(out.text(), "");
  EXPECT_TRUE(other.takeQuit());
}

TEST_F(ControllerTest, TheSleepTimerStandsStillWhilePaused) {
  bool paused = true;
  EXPECT_EQ(controller_.pausedMs(paused), 0);
  EXPECT_FALSE(paused);
  run({"pause"});
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const int64_t during = controller_.pausedMs(paused);
  EXPECT_TRUE(paused);
  EXPECT_GE(during, 60);
  run({"play"});
  const int64_t after = controller_.pausedMs(paused);
  EXPECT_FALSE(paused);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(controller_.pausedMs(paused), after);
}

TEST_F(ControllerTest, RecordsAScriptThatFallsOnTheSameFrames) {
  testkit::TempDir dir;
  std::string error;
  ASSERT_TRUE(controller_.record(dir.file("rec.txt"), 42, error)) << error;
  controller_.setOrigin(4096);
  // Commands land on buffer boundaries of frames played; each is read back
  // on its frame.
  const std::vector<uint64_t> frames = {4096, 4608, 4096 + 22016, 4096 + 3 * 22050 * 512,
                                        4096 + 512 * 1234567};
  const std::vector<std::string> commands = {"pause", "play", "volume 0.3333",
                                             "song \"rain\" volume 4", "song wind mute 1"};
  for (std::size_t i = 0; i < frames.size(); ++i) {
    mixer_.mixTo(frames[i]);
    run({commands[i]});
  }
  ControlScript script;
  ASSERT_TRUE(script.read(dir.file("rec.txt"), error)) << error;
  ASSERT_EQ(script.lines().size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const auto& line = script.lines()[i];
    EXPECT_EQ(ControlScript::frameOf(line, 22050, 512), frames[i] - 4096) << i;
    EXPECT_EQ(line.command.text(), command(commands[i]).text());
  }
  std::ifstream in(dir.file("rec.txt"));
  std::string first;
  std::getline(in, first);
  EXPECT_NE(first.find("--seed 42"), std::string::npos) << first;
}

}  // namespace
}  // namespace controller_test

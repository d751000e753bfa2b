// The words of a command, as a control script writes them and reads them
// back.

#include "app/control_command.h"

#include <gtest/gtest.h>

// Named, so that no helper here meets another test's in a unity build.
namespace control_command_test {
namespace {

using Kind = ControlCommand::Kind;

TEST(ControlCommand, ReadsEveryCommandAndRefusesTheRestWithAReason) {
  const struct {
    std::string text;
    bool ok;
    Kind kind;
    std::string song;
    double value;
    std::string error;  // a part of it
  } cases[] = {
      {"pause", true, Kind::kPause, "", 0, ""},
      {"  play\t", true, Kind::kPlay, "", 0, ""},
      {"quit", true, Kind::kQuit, "", 0, ""},
      {"volume 0.6", true, Kind::kVolume, "", 0.6, ""},
      {"volume 4", true, Kind::kVolume, "", 4, ""},
      {"volume .5", true, Kind::kVolume, "", 0.5, ""},
      {"song rain volume 0", true, Kind::kSongVolume, "rain", 0, ""},
      {"song \"a \\\"b\\\\\" mute 1", true, Kind::kSongMute, "a \"b\\", 1, ""},
      {"song rain mute 0", true, Kind::kSongMute, "rain", 0, ""},
      {"volume 4.01", false, Kind::kVolume, "", 0, "from 0 to 4"},
      {"volume -1", false, Kind::kVolume, "", 0, "from 0 to 4"},
      {"volume nan", false, Kind::kVolume, "", 0, "from 0 to 4"},
      {"volume 1e400", false, Kind::kVolume, "", 0, "from 0 to 4"},
      {"volume", false, Kind::kVolume, "", 0, "from 0 to 4"},
      {"song rain mute 2", false, Kind::kSongMute, "", 0, "1 (mute) or 0"},
      {"song rain", false, Kind::kStatus, "", 0, "song NAME volume"},
      {"song \"rain volume 1", false, Kind::kStatus, "", 0, "quote is not closed"},
      {"pause now", false, Kind::kStatus, "", 0, "unknown command \"pause\""},
      {"stop", false, Kind::kStatus, "", 0, "unknown command \"stop\""},
      {"", false, Kind::kStatus, "", 0, "no command"},
  };
  for (const auto& c : cases) {
    ControlCommand command;
    std::string error;
    EXPECT_EQ(ControlCommand::parse(c.text, command, error), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
      continue;
    }
    EXPECT_EQ(command.kind, c.kind) << c.text;
    EXPECT_EQ(command.song, c.song) << c.text;
    EXPECT_EQ(command.value, c.value) << c.text;
  }
}

TEST(ControlCommand, WritesWhatItReadsBack) {
  for (const std::string name : {"rain", "two words", "\"quoted", "back\\slash", ""}) {
    for (const std::string what : {" volume 0.3333", " volume 4", " mute 1", " mute 0"}) {
      ControlCommand command;
      std::string error;
      ASSERT_TRUE(ControlCommand::parse("song x" + what, command, error)) << error;
      command.song = name;
      ControlCommand again;
      ASSERT_TRUE(ControlCommand::parse(command.text(), again, error)) << command.text();
      EXPECT_EQ(again.kind, command.kind);
      EXPECT_EQ(again.song, name) << command.text();
      EXPECT_EQ(again.value, command.value) << command.text();
    }
  }
}

}  // namespace
}  // namespace control_command_test

// The checker's diagnostics, exactly: where each problem is in the file as
// written, its source line and caret, every song checked on its own, and the
// warnings for what plays but is almost certainly a mistake.

#include "app/playlist_checker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/checker.h"
#include "app/session.h"
#include "base/console.h"
#include "pattern/song.h"
#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

struct Checked {
  bool plays;
  std::string diagnostics;  // the first line of each, unless asked for whole
};

Checked check(const std::string& playlist, bool notes = false, bool longSamples = false) {
  testkit::TempDir dir;
  for (const char* sample : {"a.wav", "rain.wav", "chime.wav", "wind.wav"}) {
    EXPECT_TRUE(dir.write(sample, "x"));
  }
  EXPECT_TRUE(dir.write("p.txt", playlist));
  testkit::WorkingDirectory here(dir.path());
  auto mixer = std::make_unique<testkit::FakeMixer>();
  if (longSamples) mixer->frames = 660 * 22050;  // eleven minutes
  Session session(std::move(mixer), nullptr, 0);
  Checked checked{false, ""};
  PlaylistChecker checker("p.txt", [&](const std::string& text) {
    checked.diagnostics += notes ? text : text.substr(0, text.find('\n') + 1);
  });
  testkit::StdoutCapture quiet;
  checked.plays = checker.check(session, "p.txt");
  session.release();
  // The verdict is the player's.
  Session player(std::make_unique<testkit::FakeMixer>(), nullptr, 0);
  EXPECT_EQ(player.initialize("p.txt"), checked.plays) << playlist;
  player.release();
  return checked;
}

// A sequence of `leaf` and 1, nested `levels` deep.
std::string nested(const std::string& leaf, int levels) {
  return levels == 0 ? leaf : "(" + nested(leaf, levels - 1) + ",1)";
}

TEST(PlaylistChecker, ErrorsAndWarningsAtTheirPlaces) {
  // Warnings are for what plays but is almost certainly a mistake, or
  // plays on a default that replaces what was written.
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"x;", false, "p.txt:1:1: error: \"x\" is not a song: it has no \"=\"\n"},
      {"a=(_main=1);\n=;", true, "p.txt:2:1: error: a statement that is \"=\" alone\n"},
      {"x=(_main=1;;b=2);", false, "p.txt:1:12: error: an empty entry\n"},
      {"x=(_main=1:2=3:4);", false,
       "p.txt:1:4: error: entry \"_main\" has 2 \"=\" outside parentheses\n"},
      {"x=(_param=1,0,0);", false, "p.txt:1:1: error: song \"x\" has no _main entry\n"},
      {"x=(_main=1;_param=999, 4000,\t-3);", true,
       "p.txt:1:19: warning: loop count 999 is out of range\n"
       "p.txt:1:24: warning: angle 4000 is out of range\n"
       "p.txt:1:30: warning: distance -3 is out of range\n"},
      {"x=(_main=1;_param=2,45);", true,
       "p.txt:1:19: warning: _param has 2 value(s), not loops, angle, distance\n"},
      {"// c\r\nx = (\r\n  _main = (u, \"none.wav\")\r\n);", false,
       "p.txt:3:12: error: no pattern is named \"u\"\n"
       "p.txt:3:15: error: no sample file \"none.wav\" was found\n"},
      {"x=(_main=(a:b=1:-1);a=u;b=2);", false,
       "p.txt:1:23: error: no pattern is named \"u\"\np.txt:1:17: error: a weight of -1\n"},
      {"x=(_main=(1:2=-1:1));", false, "p.txt:1:15: error: a weight of -1\n"},
      {"x=(_main=a;a=(b,1);b=a);", false, "p.txt:1:22: error: pattern \"a\" refers to itself\n"},
      {"a=(_main=u);b;c=(_main=\"a.wav\",v);", false,
       "p.txt:1:10: error: no pattern is named \"u\"\n"
       "p.txt:1:13: error: \"b\" is not a song: it has no \"=\"\n"
       "p.txt:1:32: error: no pattern is named \"v\"\n"},
      {"", true, "p.txt:1:1: warning: the playlist has no songs\n"},
      {"x=(_main=(\"a.wav\",1);_Main=1;spare=2);", true,
       "p.txt:1:22: warning: key \"_Main\" names a pattern\n"
       "p.txt:1:30: warning: pattern \"spare\" is never used\n"},
      {"x=(_main=((\"a.wav\",1):2=1:0:1));y=(_main=(1,(\"a.wav\":1=0:0)));", true,
       "p.txt:1:11: warning: 2 choice(s) but 3 weight(s)\n"
       "p.txt:1:46: warning: every weight is 0\n"},
      // Slips of typing: a keyword misspelt, words where numbers go, a
      // range written backwards.
      {"s=(_mian=(\"a.wav\",1);_param=1,0,0);", false,
       "p.txt:1:4: error: song \"s\" has no _main entry\n"},
      {"s=(_main=(\"a.wav\",200 to 100);_param=infinite,90,far);", true,
       "p.txt:1:38: warning: _param value \"infinite\" is not a number and is read as 0\n"
       "p.txt:1:50: warning: _param value \"far\" is not a number and is read as 0\n"
       "p.txt:1:19: warning: the pause range 200 to 100 runs backwards\n"},
      {"a=(_main=(\"a.wav\",1))\nb=(_main=(\"a.wav\",1));", false,
       "p.txt:2:1: error: a \";\" is missing between the songs \"a\" and \"b\"\n"},
      {"a=(_main=(\"a.wav\" 100));", false,
       "p.txt:1:19: error: a \",\" is missing between \"a.wav\" and 100\n"},
      {"a=(_main=(100 \"a.wav\"));", false,
       "p.txt:1:15: error: a \",\" is missing between 100 and \"a.wav\"\n"},
      {"a=(_main=(\"a.wav,1);_param=1,0,0);\nb=(_main=(\"a.wav\",1));", false,
       "p.txt:1:11: error: this quote is never closed\n"},
      {"a=(_main=((b,1));b=\"a.wav\");c=(_main=((\"a.wav\",1)));", false,
       "p.txt:1:11: error: a pattern in two pairs of parentheses is read as a name\n"
       "p.txt:1:39: error: a pattern in two pairs of parentheses is read as a name\n"},
      {"s=(_main=(\"a.wav\",1);_param=+3,007,1.5);", true,
       "p.txt:1:36: warning: _param value \"1.5\" is not a number and is read as 1\n"},
      {"x=(_main=(\"a.wav\",a);a=0);x=(_main=(\"a.wav\",90000,90000000));", true,
       "p.txt:1:1: warning: song \"x\" never pauses\n"
       "p.txt:1:27: warning: a second song named \"x\"\n"
       "p.txt:1:51: warning: a pause of 90000000 ms is longer than a day\n"},
  };
  for (const auto& [playlist, plays, expected] : cases) {
    const Checked checked = check(playlist);
    EXPECT_EQ(checked.plays, plays) << playlist;
    EXPECT_EQ(checked.diagnostics, expected) << playlist;
  }
  EXPECT_EQ(check("x=(_main=(\"a.wav\",\"./a.wav\",1));", true, true).diagnostics,
            "p.txt:1:11: warning: sample \"a.wav\" plays for 11 minutes\n"
            " x=(_main=(\"a.wav\",\"./a.wav\",1));\n           ^\n"
            "p.txt:1:11: note: it is decoded whole into memory: about 55 MB\n");
}

TEST(PlaylistChecker, ShowsALongLineAsAWindowAndADeepTreeIndentedFortyLevels) {
  testkit::TempDir dir;
  const std::string line = "y=(_main=" + nested("1", 1001) + ");";
  ASSERT_TRUE(dir.write("p.txt", "x=(_main=" + nested("7", 45) + ");\n" + line));
  Session session(std::make_unique<testkit::FakeMixer>(), nullptr, 0);
  PlaylistChecker checker("p.txt", printText);
  std::string text;
  {
    testkit::StdoutCapture out;
    checker.check(session, dir.file("p.txt"));
    text = out.text();
  }
  // The problem is told just before the player's own message.
  const std::string head = "p.txt:2:1011: ";
  const std::string told = head + "error: pattern nested deeper than 1000 levels\n " +
                           line.substr(931, 160) + "\n " + std::string(79, ' ') + "^\n" + head +
                           "note: each pattern inside another is a level, and so is each name "
                           "it refers to\ncan't understand as Pattern Object : nested";
  EXPECT_EQ(text.substr(text.find(head), told.size()), told);
  EXPECT_EQ(checker.errors(), 1u);
  // Past forty levels the tree tells the depth instead.
  const std::string tree = describeSong(*session.songs().at(0), 22050), cap(80, ' ');
  EXPECT_NE(tree.find("\n" + cap + "sequence of 2\n" + cap + "[41] sequence of 2\n"), tree.npos);
  EXPECT_NE(tree.find("\n" + cap + "[47] pause 7 ms\n"), tree.npos) << tree;
  session.release();
}

TEST(PlaylistChecker, EachSlipOfTypingGivesOneDiagnosticWhereItWasMade) {
  // Playlists as people write them, each with one mistake; the first line of
  // each says the one diagnostic it must give.
  const std::filesystem::path corpus =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "testing" / "slips";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string playlist = text.str();
    const std::string expect = "// expect: ";
    ASSERT_EQ(playlist.rfind(expect, 0), 0u) << entry.path();
    const std::string wanted = playlist.substr(expect.size(), playlist.find('\n') - expect.size());
    EXPECT_EQ(check(playlist).diagnostics, "p.txt:" + wanted + "\n") << entry.path();
    ++files;
  }
  EXPECT_GE(files, 30);
}

}  // namespace

// Playlists as their songs and their messages: the grammar, the classes of
// pattern texts and the failures of growing, in the program's words.

#include "playlist/grammar.h"
#include "base/problem_reporter.h"

#include <gtest/gtest.h>

#include <string>

#include "audio/sample_cache.h"
#include "pattern/song.h"
#include "playlist/playlist_file.h"
#include "testing/fakes.h"

namespace {

struct Built {
  bool ok;
  std::string out;
  std::string songs;  // "name loops angle distance;" for each song
};

Built build(const std::string& playlist) {
  testkit::FakeMixer mixer;
  SampleCache samples(mixer);
  std::vector<std::unique_ptr<Song>> songs;
  testkit::StdoutCapture out;
  std::string text = playlist;
  cleanPlaylistText(text);
  ProblemReporter player;
  Built built{buildSongs(std::make_shared<const BalancedText>(text), samples, songs, player), "",
              ""};
  built.out = out.text();
  for (const auto& song : songs) {
    built.songs += std::string(song->songName) + " " + std::to_string(song->loops) + " " +
                   std::to_string(song->angle) + " " + std::to_string(song->distance) + ";";
  }
  return built;
}

TEST(Grammar, SongsTheirParametersAndTheirFailures) {
  const std::string deep = std::string(1001, '(') + "1" + std::string(1001, ')');
  const std::string open = std::string(100000, '(') + "a";
  const std::string inSequence = "\nMultiPattern::growTree Error\nx : growTree error\n";
  const struct {
    std::string playlist;
    bool plays;
    const char* songs;
    std::string out;
  } cases[] = {
      {"a=(_main=1;_param=3,90,50);b=(_main=2);", true, "a 3 90 50;b 3 90 50;", ""},
      {"a=(_main=1;_param=_infinite,0,100);", true, "a 1000 0 100;", ""},
      {"a=(_main=1;_param=(2,45,10,99));", true, "a 2 45 10;", ""},
      {"a=(_main=1;_param=998,360,255);", true, "a 998 360 255;", ""},
      {"a=(_main=1;_param=999,0,100);", true, "a 1 0 100;",
       "can't understand as number of times loop \"999\"\nnumber of times loop set to 1\n"
       "parameters set to default\n"},
      {"a=(_main=1;_param=5,361,300);", true, "a 5 0 100;",
       "can't understand as angle \"361\"\ncan't understand as distance 300, must be 0-255.\n"
       "parameters set to default\n"},
      {"a=(_main=1;_param=-7x,1,2);", true, "a 1 1 2;",
       "can't understand as number of times loop \"-7\"\nnumber of times loop set to 1\n"
       "parameters set to default\n"},
      // Numbers beyond 32 bits are held at its ends; letters read as 0.
      {"a=(_main=1;_param=99999999999,-99999999999,+3);", true, "a 1 0 3;",
       "can't understand as number of times loop \"2147483647\"\nnumber of times loop set to 1\n"
       "can't understand as angle \"-2147483648\"\nparameters set to default\n"},
      {"a=(_main=1;_param=abc,007,2);", true, "a 0 7 2;", ""},
      {"x=(_main=(1,-1));", false, "", "can't understand as Pattern Object \"-1\"" + inSequence},
      {"x=(_main=(1,1.5));", false, "", "can't understand as Pattern Object \"1.5\"" + inSequence},
      {"a=(_main=1;_param=2,45,);", true, "a 1 0 100;",
       "too few arguments for param\nplaylist.txt is set to parameter\n"
       "parameters set to default\n"},
      // A later "_main" replaces the earlier one, which is never grown.
      {"a=(_main=nothing;_main=2);", true, "a 1 0 100;", ""},
      // Named patterns resolve in either order; digits are pauses, not names.
      {"a=(_main=(x,5);x=y;y=7;5=nothing);", false, "",
       "can't understand as Pattern Object \"nothing\"\na : growTree error\n"},
      {"a=(_main=(x,y);y=1;x=y);", true, "a 1 0 100;", ""},
      // Weights are read as numbers, however deep their text.
      {"a=(_main=(x:y=" + deep + ":1);x=1;y=2);", true, "a 1 0 100;", ""},
      {"ok=(_main=1);=;later=(_main=1);", true, "ok 1 0 100;",
       "Unable to devide \"ok=(_main=1);=;later=(_main=1);\" by \"=\" then by \";\"\n"
       "String must be this form n1:n2:...=x1:x2:...\n"},
      {"x=(_main=1:2=3:4);", false, "",
       "Error in combinePattern() : lst_str.size() != 2\n\tlst_str is : \"_main\"\n"
       "\tlst_str is : \"1:2\"\n\tlst_str is : \"3:4\"\ncan't create Song x\n"},
      {"x=(_main=1;;b=2);", false, "",
       "Error in combinePattern() : lst_str.size() != 2\ncan't create Song x\n"},
      {"x;", false, "", "can't create Song x\n"},
      {"x=(_param=1,0,0);", false, "", "x : growTree error\n"},
      {"x=(_main=(500,u,250));", false, "",
       "can't understand as Pattern Object \"u\"" + inSequence},
      {"x=(_main=((a,b));a=1;b=2);", false, "",
       "can't understand as Pattern Object \"(a,b)\"\nx : growTree error\n"},
      {"x=(_main=Foo;foo=1);", false, "",
       "can't understand as Pattern Object \"Foo\"\nx : growTree error\n"},
      {"x=(_main=(a:b=1:-1);a=1;b=2);", false, "", "x : growTree error\n"},
      {"x=(_main=a;a=(b,1);b=a);", false, "",
       "can't grow Pattern Object \"a\" : it refers to itself\nx : growTree error\n"},
      {"x=(_main=\"none.wav\");", false, "",
       " : Unable to Open Audio File : \"none.wav\" : Mix_LoadWAV_RW with NULL src\n"
       "Error : Note::sound.load() returns false\nx : growTree error\n"},
      {"a=(_main=1);b=(_main=a);", false, "a 1 0 100;",
       "can't understand as Pattern Object \"a\"\nb : growTree error\n"},
      // Nesting is counted in levels of the tree as it grows, not in
      // parentheses: an unbalanced run of them is just an unknown name.
      {"x=(_main=" + open + ")", false, "",
       "can't understand as Pattern Object \"" + open + "\"\nx : growTree error\n"},
  };
  for (const auto& c : cases) {
    const Built built = build(c.playlist);
    EXPECT_EQ(built.ok, c.plays) << c.playlist.substr(0, 40);
    EXPECT_EQ(built.songs, c.songs) << c.playlist.substr(0, 40);
    EXPECT_EQ(built.out, c.out) << c.playlist.substr(0, 40);
  }
}

// What is decoded ahead: every quoted name once, in order; an unclosed
// quote names nothing.
TEST(Grammar, QuotedNamesAreTheSamplesInOrder) {
  const std::vector<std::string_view> expected = {"b.wav", "a b.wav", "", "c.wav"};
  EXPECT_EQ(quotedNames("s=(_main=(\"b.wav\":\"a b.wav\"=1:2,\"\",\"b.wav\"));t=(_main=\"c.wav\""
                        ");u=(_main=\"open"),
            expected);
}

}  // namespace

// velumora-check as a user runs it: the tree it prints for a good playlist,
// and the program's own messages and status 1 for each kind of failure.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::ProcessOptions;
using testkit::TempDir;

testkit::Finished check(const TempDir& dir, const std::vector<std::string>& args) {
  ProcessOptions options;
  options.program = VELUMORA_CHECK_BINARY;
  options.args = args;
  options.workDir = dir.path();
  // The checker picks its silent driver itself, whatever the environment.
  options.env = {"SDL_AUDIODRIVER=nosuchdriver"};
  return testkit::runToEnd(options, std::chrono::milliseconds(30000));
}

TEST(Checker, PrintsEverySongAsATree) {
  TempDir dir;
  testkit::Tone tone;
  tone.seconds = 1.5;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("rain.wav"), tone));
  tone.seconds = 0.25;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("drop.wav"), tone));
  ASSERT_TRUE(
      dir.write("playlist.txt",
                "// rain on the right\n"
                "rain = ( _main = (drops, gap); drops = (\"rain.wav\" : \"drop.wav\" = 3 : 1);\n"
                "         gap = 2000 to 5000; _param = _infinite, 90, 200 );\n"
                "tick = ( _main = (\"drop.wav\", 500, (drops, 250)); drops = \"drop.wav\" );\n"));
  const testkit::Finished result = check(dir, {"playlist.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            "checking playlist.txt\n"
            "song \"rain\" : infinite, angle 90, distance 200\n"
            "  _main\n"
            "    sequence of 2\n"
            "      reference drops\n"
            "      reference gap\n"
            "  drops\n"
            "    choice by weights 3:1\n"
            "      note \"rain.wav\" (1.50 s)\n"
            "      note \"drop.wav\" (0.25 s)\n"
            "  gap\n"
            "    random pause 2000 to 5000 ms\n"
            "song \"tick\" : infinite, angle 90, distance 200\n"
            "  _main\n"
            "    sequence of 3\n"
            "      note \"drop.wav\" (0.25 s)\n"
            "      pause 500 ms\n"
            "      sequence of 2\n"
            "        reference drops\n"
            "        pause 250 ms\n"
            "  drops\n"
            "    note \"drop.wav\" (0.25 s)\n"
            "the playlist would play\n");
}

struct FailureCase {
  const char* name;
  const char* playlist;
  const char* messages;
};

TEST(Checker, ReportsEachKindOfFailureWithStatus1) {
  const std::vector<FailureCase> cases = {
      {"unknown name", "s=(_main=(1,x));",
       "can't understand as Pattern Object \"x\"\nMultiPattern::growTree Error\n"
       "s : growTree error\n"},
      {"missing sample", "s=(_main=\"gone.wav\");",
       " : Unable to Open Audio File : \"gone.wav\" : "},
      {"statement without a body", "s;", "can't create Song s\n"},
      {"sub-statement with three pieces", "s=(_main=1:2=3:4);",
       "Error in combinePattern() : lst_str.size() != 2\n\tlst_str is : \"_main\"\n"
       "\tlst_str is : \"1:2\"\n\tlst_str is : \"3:4\"\ncan't create Song s\n"},
      {"reference cycle", "s=(_main=a;a=(1,b);b=a);",
       "can't grow Pattern Object \"a\" : it refers to itself\ns : growTree error\n"},
      {"no main pattern", "s=(a=1);", "s : growTree error\n"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ASSERT_TRUE(dir.write("playlist.txt", c.playlist));
    const testkit::Finished result = check(dir, {"playlist.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind(std::string("checking playlist.txt\n") + c.messages, 0), 0u)
        << result.output;
    const std::string end = "Analyzing File String Failed\nthe playlist would not play\n";
    EXPECT_EQ(
        result.output.substr(result.output.size() - std::min(result.output.size(), end.size())),
        end);
  }
}

TEST(Checker, ReportsAMissingPlaylistAndAWrongCommandLine) {
  TempDir dir;
  testkit::Finished result = check(dir, {"absent.txt"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            "checking absent.txt\n"
            "Unable to Open file \"absent.txt\"\n"
            "Unable to load file absent.txt\n"
            "the playlist would not play\n");
  result = check(dir, {});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.output, "");
}

}  // namespace

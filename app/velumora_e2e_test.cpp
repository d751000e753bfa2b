// The program as a user meets it: start-up, the console loop, signals and
// shutdown, checked on its exact standard output and exit status.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "testing/host.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/velumora_run.h"

namespace {

using testkit::failedStartOutput;
using testkit::kPatience;
using testkit::kStartedLines;
using testkit::shutdownLines;
using testkit::startVelumora;
using testkit::TempDir;

constexpr char kPrompt[] = "type 'q' and enter to exit\n";
constexpr char kInputClosed[] = "input closed: playing until interrupted\n";

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

// ---------------------------------------------------------------------------
// How a run with an empty playlist ends: by a word, by a signal, or by a
// signal after the input has closed.

struct EndingCase {
  const char* name;
  std::string input;
  bool closeInput;
  int signal;                   // 0: the input alone ends the run
  std::string expectedBetween;  // after the start-up lines, before shutdown
};

void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.name; }

class Ending : public ::testing::TestWithParam<EndingCase> {};

TEST_P(Ending, PrintsPromptsThenShutsDownCleanly) {
  const EndingCase& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(dir.write("playlist.txt", ""));
  auto run = startVelumora(dir, {"playlist.txt"});
  ASSERT_TRUE(run);
  ASSERT_TRUE(run->waitForOutput(kStartedLines, kPatience));
  ASSERT_TRUE(run->write(c.input));
  if (c.closeInput) run->closeInput();
  if (c.signal != 0) {
    if (c.closeInput) {
      ASSERT_TRUE(run->waitForOutput(kInputClosed, kPatience));
      // Closed input alone neither ends the program nor makes it repeat
      // itself.
      const std::string before = run->output();
      EXPECT_TRUE(run->stillRunningAfter(std::chrono::milliseconds(500)));
      EXPECT_EQ(run->output(), before);
    } else if (!c.expectedBetween.empty()) {
      ASSERT_TRUE(run->waitForOutput(kStartedLines + c.expectedBetween, kPatience));
    }
    ASSERT_TRUE(run->sendSignal(c.signal));
  }
  EXPECT_EQ(run->waitForExit(kPatience), 0);
  EXPECT_EQ(run->output(), kStartedLines + c.expectedBetween + shutdownLines(0));
}

INSTANTIATE_TEST_SUITE_P(
    Console, Ending,
    ::testing::Values(
        EndingCase{"q", "q\n", false, 0, ""}, EndingCase{"exit", "exit\n", false, 0, ""},
        EndingCase{"UpperCaseWordsOnlyPrompt", "Q EXIT hello\nq world\n", false, 0,
                   repeated(kPrompt, 3)},
        EndingCase{"WordsAfterQAreNotRead", "hello q world\n", false, 0, kPrompt},
        EndingCase{"NearMissesPrompt", "qq quit exit.\nexit\n", false, 0, repeated(kPrompt, 3)},
        EndingCase{"AnyWhiteSpaceSeparates", " \t\nhello\r\n\v\fworld\tq\n", false, 0,
                   repeated(kPrompt, 2)},
        EndingCase{"LastWordWithoutLineEnd", "hello q", true, 0, kPrompt},
        EndingCase{"WordLongerThanOneRead", std::string(10000, 'w') + " exit\n", false, 0, kPrompt},
        EndingCase{"ManyWords", repeated("a ", 3000) + "q\n", false, 0, repeated(kPrompt, 3000)},
        EndingCase{"SigtermAfterInputClosed", "", true, SIGTERM, kInputClosed},
        EndingCase{"SigintAfterInputClosed", "", true, SIGINT, kInputClosed},
        EndingCase{"SighupAfterInputClosed", "", true, SIGHUP, kInputClosed},
        EndingCase{"WordThenInputClosed", "hello", true, SIGTERM,
                   std::string(kPrompt) + kInputClosed},
        EndingCase{"SigtermWhileReading", "", false, SIGTERM, ""},
        EndingCase{"SigintWhileReading", "hello\n", false, SIGINT, kPrompt},
        EndingCase{"SighupWhileReading", "", false, SIGHUP, ""}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Which playlist is read.

struct PlaylistChoiceCase {
  const char* name;
  std::vector<std::string> args;  // "@" is replaced by the temporary directory
  const char* song;               // the one song of the playlist that is read
};

void PrintTo(const PlaylistChoiceCase& c, std::ostream* os) { *os << c.name; }

class PlaylistChoice : public ::testing::TestWithParam<PlaylistChoiceCase> {};

TEST_P(PlaylistChoice, ReadsFirstArgumentOrPlaylistTxt) {
  const PlaylistChoiceCase& c = GetParam();
  TempDir dir;
  const std::map<std::string, std::string> songOfFile{
      {"playlist.txt", "fromdefault"}, {"other.txt", "fromother"}, {"second.txt", "fromsecond"}};
  for (const auto& [file, song] : songOfFile)
    ASSERT_TRUE(dir.write(file, song + "=(_main=100;_param=0,0,0);\n"));
  std::vector<std::string> args;
  for (const std::string& arg : c.args)
    args.push_back(arg == "@" ? dir.path() + "/other.txt" : arg);
  auto run = startVelumora(dir, args);
  ASSERT_TRUE(run);
  const std::string songLines =
      "playing 0 time(s) of \"" + std::string(c.song) + "\"\n" + c.song + " done\n";
  ASSERT_TRUE(run->waitForOutput(songLines, kPatience));
  ASSERT_TRUE(run->write("q\n"));
  EXPECT_EQ(run->waitForExit(kPatience), 0);
  EXPECT_EQ(run->output(), kStartedLines + songLines + shutdownLines(0));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, PlaylistChoice,
    ::testing::Values(PlaylistChoiceCase{"NoArgument", {}, "fromdefault"},
                      PlaylistChoiceCase{"OneArgument", {"other.txt"}, "fromother"},
                      PlaylistChoiceCase{"AbsolutePath", {"@"}, "fromother"},
                      PlaylistChoiceCase{"SecondIgnored", {"other.txt", "second.txt"}, "fromother"},
                      PlaylistChoiceCase{"MissingSecondIgnored",
                                         {"other.txt", "missing.txt", "third"},
                                         "fromother"}),
    [](const ::testing::TestParamInfo<PlaylistChoiceCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Start-up failures that do not depend on SDL's wording: the messages, the
// full shutdown and status 255.

struct StartFailureCase {
  const char* name;
  std::map<std::string, std::string> files;  // a name ending in "/" is a directory
  std::vector<std::string> args;
  std::string messages;  // printed right after "initializing..."
};

void PrintTo(const StartFailureCase& c, std::ostream* os) { *os << c.name; }

class StartFailure : public ::testing::TestWithParam<StartFailureCase> {};

TEST_P(StartFailure, ReportsAndShutsDownWithStatus255) {
  const StartFailureCase& c = GetParam();
  TempDir dir;
  for (const auto& [name, content] : c.files) {
    if (!name.empty() && name.back() == '/')
      ASSERT_EQ(mkdir(dir.file(name).c_str(), 0700), 0);
    else
      ASSERT_TRUE(dir.write(name, content));
  }
  auto run = startVelumora(dir, c.args);
  ASSERT_TRUE(run);
  // Nothing is read from the input after a failed start-up; it stays open
  // so that the program cannot end merely because the input closed.
  EXPECT_EQ(run->waitForExit(kPatience), 255);
  EXPECT_EQ(run->output(), failedStartOutput(c.messages));
}

INSTANTIATE_TEST_SUITE_P(
    Playlist, StartFailure,
    ::testing::Values(
        StartFailureCase{"MissingFile",
                         {},
                         {"missing.txt"},
                         "Unable to Open file \"missing.txt\"\nUnable to load file missing.txt\n"},
        StartFailureCase{
            "MissingDefault",
            {},
            {},
            "Unable to Open file \"playlist.txt\"\nUnable to load file playlist.txt\n"},
        StartFailureCase{"DirectoryAsPlaylist",
                         {{"lists/", ""}},
                         {"lists"},
                         "Unable to Open file \"lists\"\nUnable to load file lists\n"},
        StartFailureCase{"UnknownNameInSequence",
                         {{"p.txt", "x=(_main=(a,100);_param=1,0,0);"}},
                         {"p.txt"},
                         "can't understand as Pattern Object \"a\"\n"
                         "MultiPattern::growTree Error\n"
                         "x : growTree error\n"
                         "Analyzing File String Failed\n"},
        StartFailureCase{"UnknownNameInNamedPattern",
                         {{"p.txt", "x=(_main=100;foo=bar);"}},
                         {"p.txt"},
                         "can't understand as Pattern Object \"bar\"\n"
                         "x : growTree error\n"
                         "Analyzing File String Failed\n"},
        StartFailureCase{"NamesAreCaseSensitive",
                         {{"p.txt", "x=(_main=Foo;foo=100);"}},
                         {"p.txt"},
                         "can't understand as Pattern Object \"Foo\"\n"
                         "x : growTree error\n"
                         "Analyzing File String Failed\n"},
        StartFailureCase{"DoubleParenthesesHideSequence",
                         {{"p.txt", "x=(_main=((a,b));a=1;b=2);"}},
                         {"p.txt"},
                         "can't understand as Pattern Object \"(a,b)\"\n"
                         "x : growTree error\n"
                         "Analyzing File String Failed\n"},
        StartFailureCase{"SubStatementWithoutValue",
                         {{"p.txt", "x=(_main=100;_param);"}},
                         {"p.txt"},
                         "Error in combinePattern() : lst_str.size() != 2\n"
                         "\tlst_str is : \"_param\"\n"
                         "can't create Song x\n"
                         "Analyzing File String Failed\n"},
        // The song built before the failing one is destroyed unplayed.
        StartFailureCase{"EarlierSongNeverPlays",
                         {{"p.txt",
                           "// two songs\nfine=(_main=100;_param=2,0,0);\n"
                           "broken=(_main=(100,nothing));\n"}},
                         {"p.txt"},
                         "can't understand as Pattern Object \"nothing\"\n"
                         "MultiPattern::growTree Error\n"
                         "broken : growTree error\n"
                         "Analyzing File String Failed\n"}),
    [](const ::testing::TestParamInfo<StartFailureCase>& info) { return info.param.name; });

TEST(StartFailureTest, UnknownAudioDriverReportsSdlErrorOnOneLine) {
  TempDir dir;
  ASSERT_TRUE(dir.write("playlist.txt", "x=(_main=100);"));
  auto run = startVelumora(dir, {}, {"SDL_AUDIODRIVER=nosuchdriver"});
  ASSERT_TRUE(run);
  EXPECT_EQ(run->waitForExit(kPatience), 255);
  const std::string& out = run->output();
  // Classic SDL starts without a driver and then cannot open the device;
  // sdl12-compat (SDL2) already fails to start.
  const std::string head =
      std::string("Velumora ver 1.0.1\ninitializing...") +
      (testkit::sdlLibrary() == testkit::SdlLibrary::kCompat ? "SDL initialization error : "
                                                             : "Unable to open audio! : ");
  ASSERT_EQ(out.compare(0, head.size(), head), 0) << out;
  const std::size_t lineEnd = out.find('\n', head.size());
  ASSERT_NE(lineEnd, std::string::npos) << out;
  const std::string sdlText = out.substr(head.size(), lineEnd - head.size());
  EXPECT_FALSE(sdlText.empty());
  EXPECT_EQ(out.substr(lineEnd + 1), "Velumora Initialization Failed\n" + shutdownLines(0));
}

}  // namespace

// velumora-check: the tree of every song, whether the playlist would play,
// and its explanations on standard error.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "testing/child.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

TEST(Check, PrintsTreesExplainsAndFindsSamplesBesideThePlaylist) {
  testkit::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("songs").c_str(), 0755), 0);
  ASSERT_TRUE(testkit::writeToneWav(dir.file("songs/a.wav"), {440, 1.0, 0.3}));
  ASSERT_TRUE(dir.write(
      "songs/p.txt", "\xEF\xBB\xBF// rain\r\ns = (_main = (\"a.wav\", 100);\r\n\t_parm = 1);\r\n"));
  ASSERT_TRUE(dir.write("songs/q.txt", "s=(_main=\"b.wav\");"));
  ASSERT_TRUE(
      dir.write("good.txt",
                "s=(_main=(a,100to200,(\"a.wav\":a=2:1),50);a=\"a.wav\";_param=_infinite,90,7);"));
  const std::string warning =
      "songs/p.txt:3:2: warning: key \"_parm\" names a pattern\n  _parm = 1);\n  ^\n"
      "songs/p.txt:3:2: note: did you mean \"_param\"?\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;  // all of standard error, or for a failed load a part
    const char* out;  // a part of standard output
  } cases[] = {
      {{"songs/p.txt"},
       0,
       warning,
       "    sequence of 2\n      note \"a.wav\" (22.05 kHz 16-bit mono WAV, 1.00 s)\n"},
      {{"--strict", "songs/p.txt"},
       1,
       warning + "velumora-check: 1 problem(s), failing as --strict asks\n",
       "would play\n"},
      {{"songs/q.txt"},
       1,
       "songs/q.txt:1:10: note: tried \"b.wav\", \"songs/b.wav\"\n",
       // The player's own lines stay out of the report.
       "checking songs/q.txt\nthe playlist would not play\n"},
      // Standard output may go nowhere: the diagnostics say it too.
      {{"none.txt"},
       1,
       "none.txt: error: cannot read the playlist: No such file or directory\n",
       "not"},
      // From here on a.wav is in the working directory too, which comes first.
      {{"songs/p.txt"}, 0, warning, "(22.05 kHz 16-bit mono WAV, 0.50 s)"},
      {{"good.txt"},
       0,
       "",
       "checking good.txt\n"
       "song \"s\" : infinite, angle 90, distance 7\n"
       "  _main\n"
       "    sequence of 4\n"
       "      reference a\n"
       "      random pause 100 to 200 ms\n"
       "      choice by weights 2:1\n"
       "        note \"a.wav\" (22.05 kHz 16-bit mono WAV, 0.50 s)\n"
       "        reference a\n"
       "      pause 50 ms\n"
       "  a\n"
       "    note \"a.wav\" (22.05 kHz 16-bit mono WAV, 0.50 s)\n"
       "the playlist would play\n"},
  };
  for (const auto& c : cases) {
    if (&c == &cases[3]) {
      ASSERT_TRUE(testkit::writeToneWav(dir.file("a.wav"), {440, 0.5, 0.3}));
    }
    const auto run = testkit::runToEnd(testkit::kCheck, c.args, dir.path());
    EXPECT_EQ(run.status, c.status) << c.args.back();
    EXPECT_EQ(c.args.back() == "songs/q.txt" ? c.err : run.err, c.err);
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  }
  // The demo, and the README's example, give no diagnostic at all.
  const auto demo = testkit::runToEnd(testkit::kCheck, {"playlist.txt"}, VELUMORA_DEMO_DIR);
  EXPECT_EQ(demo.status, 0);
  EXPECT_EQ(demo.err, "");
  for (const char* name : {"rain 1.wav", "rain 2.wav", "chime.wav"}) {
    ASSERT_TRUE(testkit::writeToneWav(dir.file(name), {440, 0.5, 0.3}));
  }
  ASSERT_TRUE(dir.write("readme.txt",
                        "// Rain on the right, far away, forever.\n"
                        "rain = (\n"
                        "  _main  = (drops, gap);\n"
                        "  drops  = (\"rain 1.wav\" : \"rain 2.wav\" = 3 : 1);\n"
                        "  gap    = 2000 to 5000;\n"
                        "  _param = _infinite, 90, 200\n"
                        ");\n\n"
                        "// A chime ahead, close by, five times.\n"
                        "chime = (\n"
                        "  _main  = (\"chime.wav\", 8000);\n"
                        "  _param = 5, 0, 20\n"
                        ");\n"));
  const auto readme = testkit::runToEnd(testkit::kCheck, {"--strict", "readme.txt"}, dir.path());
  EXPECT_EQ(readme.status, 0);
  EXPECT_EQ(readme.err, "");
  // A report that cannot be written is a failure.
  const auto full = testkit::runToEnd(
      "/bin/sh", {"-c", std::string(testkit::kCheck) + " good.txt >/dev/full"}, dir.path());
  EXPECT_EQ(full.status, 1);
}

// Each sample shows what it is beside its length; a file that is no sample
// is told for what it is, with how to make one of it.
TEST(Check, TellsEachSamplesFormatAndWhatAFileThatIsNoSampleIs) {
  testkit::TempDir dir;
  ASSERT_EQ(std::system(("sox -n -r 48000 -c 2 -b 24 '" + dir.file("tone.flac") +
                         "' synth 1 sine 440 vol 0.5")
                            .c_str()),
            0);
  ASSERT_TRUE(dir.write("song.m4a", std::string("\0\0\0\x20"
                                                "ftypM4A \0\0\0\0",
                                                16)));
  ASSERT_TRUE(dir.write("good.txt", "s=(_main=\"tone.flac\");"));
  ASSERT_TRUE(dir.write("bad.txt", "s=(_main=\"song.m4a\");"));
  const auto good = testkit::runToEnd(testkit::kCheck, {"good.txt"}, dir.path());
  EXPECT_EQ(good.status, 0);
  EXPECT_NE(good.out.find("  note \"tone.flac\" (48 kHz 24-bit stereo FLAC, 1.00 s)\n"),
            std::string::npos)
      << good.out;
  const auto bad = testkit::runToEnd(testkit::kCheck, {"bad.txt"}, dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "bad.txt:1:10: error: cannot load sample \"song.m4a\": it is an MPEG-4 file (AAC or "
            "ALAC, as in .m4a), which velumora does not read\n"
            " s=(_main=\"song.m4a\");\n"
            "          ^\n"
            "bad.txt:1:10: note: convert it with ffmpeg (sox cannot read it without ffmpeg): "
            "ffmpeg -i 'song.m4a' 'song.flac'\n");
}

}  // namespace

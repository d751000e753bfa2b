// velumora-check: the tree of every song, and whether the playlist would play.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "testing/child.h"
#include "testing/programs.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

TEST(Check, PrintsTreesAndTellsWhetherItWouldPlay) {
  testkit::TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("a.wav"), {440, 0.5, 0.3}));
  ASSERT_TRUE(dir.write(
      "good.txt", "s=(_main=(a,100to200,(\"a.wav\":a=2:1));a=\"a.wav\";_param=_infinite,90,7);"));
  auto run = testkit::runToEnd(testkit::kCheck, {"good.txt"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "checking good.txt\n"
            "song \"s\" : infinite, angle 90, distance 7\n"
            "  _main\n"
            "    sequence of 3\n"
            "      reference a\n"
            "      random pause 100 to 200 ms\n"
            "      choice by weights 2:1\n"
            "        note \"a.wav\" (0.50 s)\n"
            "        reference a\n"
            "  a\n"
            "    note \"a.wav\" (0.50 s)\n"
            "the playlist would play\n");
  // A report that cannot be written is a failure.
  run = testkit::runToEnd("/bin/sh", {"-c", std::string(testkit::kCheck) + " good.txt >/dev/full"},
                          dir.path());
  EXPECT_EQ(run.status, 1);
}

TEST(Check, ExplainsOnStandardErrorAndFindsSamplesBesideThePlaylist) {
  testkit::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("songs").c_str(), 0755), 0);
  ASSERT_TRUE(testkit::writeToneWav(dir.file("songs/a.wav"), {440, 1.0, 0.3}));
  ASSERT_TRUE(dir.write(
      "songs/p.txt", "\xEF\xBB\xBF// rain\r\ns = (_main = (\"a.wav\", 100);\r\n\t_parm = 1);\r\n"));
  ASSERT_TRUE(dir.write("songs/q.txt", "s=(_main=\"b.wav\");"));
  const std::string warning =
      "songs/p.txt:3:2: warning: key \"_parm\" names a pattern\n  _parm = 1);\n  ^\n"
      "songs/p.txt:3:2: note: did you mean \"_param\"?\n";
  const std::string strict = warning + "velumora-check: 1 problem(s), failing as --strict asks\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
    const char* out;
  } cases[] = {
      {{"songs/p.txt"}, 0, warning, "    sequence of 2\n      note \"a.wav\" (1.00 s)\n"},
      {{"--strict", "songs/p.txt"}, 1, strict, "would play\n"},
      {{"songs/q.txt"}, 1, "songs/q.txt:1:10: note: tried \"b.wav\", \"songs/b.wav\"\n", "not"},
      // The working directory comes first.
      {{"songs/p.txt"}, 0, warning, "(0.50 s)"},
  };
  for (const auto& c : cases) {
    if (&c == &cases[3]) {
      ASSERT_TRUE(testkit::writeToneWav(dir.file("a.wav"), {440, 0.5, 0.3}));
    }
    const auto run = testkit::runToEnd(testkit::kCheck, c.args, dir.path());
    EXPECT_EQ(run.status, c.status) << c.args.back();
    // Exactly what is expected, or for a failed load, at least its note.
    EXPECT_EQ(c.status == 0 || c.args[0] == "--strict" ? run.err : c.err, c.err);
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  }
}

}  // namespace

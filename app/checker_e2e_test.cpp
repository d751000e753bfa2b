// velumora-check: the tree of every song, and whether the playlist would play.

#include <gtest/gtest.h>

#include <string>

#include "testing/child.h"
#include "testing/programs.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

TEST(Check, PrintsTreesAndTellsWhetherItWouldPlay) {
  testkit::TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("a.wav"), {440, 0.5, 0.3}));
  ASSERT_TRUE(dir.write("good.txt",
                        "s=(_main=(a,100to200,(\"a.wav\":a=2:1));a=\"a.wav\";_param=_infinite,90,7);"));
  ASSERT_TRUE(dir.write("bad.txt", "s=(_main=(b,1));"));
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
  run = testkit::runToEnd(testkit::kCheck, {"bad.txt"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "checking bad.txt\ncan't understand as Pattern Object \"b\"\n"
            "MultiPattern::growTree Error\ns : growTree error\nAnalyzing File String Failed\n"
            "the playlist would not play\n");
  // A report that cannot be written is a failure.
  run = testkit::runToEnd("/bin/sh", {"-c", std::string(testkit::kCheck) + " good.txt >/dev/full"},
                          dir.path());
  EXPECT_EQ(run.status, 1);
}

}  // namespace

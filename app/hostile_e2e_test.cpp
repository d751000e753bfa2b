// The edges around a playlist, tried as an attacker would: FIFOs and
// signals during start-up, closed descriptors and pipes, memory limits.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "testing/child.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::kSilent;
using testkit::TempDir;

TEST(Hostile, SignalsEndStartUpAtOnce) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo.txt").c_str(), 0600), 0);
  // Enough samples to load for seconds: copies of one, each its own file.
  ASSERT_TRUE(testkit::writeToneWav(dir.file("s.wav"), {300.0, 2.0, 0.2, 44100, 2}));
  std::string playlist = "x=(_main=(";
  for (int i = 0; i < 400; ++i) {
    const std::string name = "s" + std::to_string(i) + ".wav";
    ASSERT_TRUE(std::filesystem::copy_file(dir.file("s.wav"), dir.file(name)));
    playlist += "\"" + name + "\",";
  }
  ASSERT_TRUE(dir.write("many.txt", playlist + "1));"));
  const std::string failed = "Velumora Initialization Failed\n" + testkit::shutdownLines(0);
  // velumora-render says only that it was interrupted, none of the failures
  // that the interruption left start-up with.
  const std::string interrupted =
      "\n" + testkit::shutdownLines(0) + "interrupted: \"o.wav\" not written\n";
  const struct {
    const char* program;
    std::vector<std::string> args;
    std::string message;  // what follows "initializing...", as far as it is known
    std::string end;
    int status;
  } cases[] = {
      {testkit::kVelumora,
       {"fifo.txt"},
       "Unable to Open file \"fifo.txt\" : interrupted\n",
       failed,
       255},
      {testkit::kRender, {"fifo.txt", "o.wav"}, interrupted, interrupted, 130},
      // Either the next sample or the next song notices.
      {testkit::kVelumora, {"many.txt"}, "", failed, 255},
      {testkit::kRender, {"many.txt", "o.wav"}, interrupted, interrupted, 130},
  };
  for (const auto& c : cases) {
    testkit::Child run(c.program, c.args, dir.path(), kSilent);
    ASSERT_TRUE(run.waitFor("initializing..."));
    if (c.args[0] == "fifo.txt") {
      EXPECT_TRUE(run.runsAfter(300)) << run.out();
    }
    const auto signalled = std::chrono::steady_clock::now();
    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(), c.status);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    const std::string& out = run.out();
    EXPECT_EQ(out.find("initializing..." + c.message), 19u) << out;
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), c.end.size())), c.end) << out;
  }
}

TEST(Hostile, ClosedDescriptorsAndBrokenPipes) {
  TempDir dir;
  ASSERT_TRUE(dir.write("p.txt", "x=(_main=100;_param=_infinite,0,0);"));
  const std::string velumora = testkit::kVelumora;
  const struct {
    std::string script;
    std::string out;
  } cases[] = {
      // Without standard input and output the program still plays until
      // told to end, and ends in order.
      {"(" + velumora +
           " p.txt <&- >&- & p=$!; sleep 1; grep -q '^State:.*[RS]' /proc/$p/status "
           "&& echo playing; kill -TERM $p; wait $p; echo $?)",
       "playing\n0\n"},
      // A reader that leaves early does not end the program.
      {"(sleep 1; echo q) | " + velumora + " p.txt | head -1; echo ${PIPESTATUS[1]}",
       "Velumora ver 1.0.1\n0\n"},
      // Standard input that never ends holds no memory.
      {"ulimit -v 400000; " + velumora +
           " p.txt </dev/zero >/dev/null & p=$!; sleep 2; "
           "kill -TERM $p; wait $p; echo $?",
       "0\n"},
  };
  for (const auto& c : cases) {
    if (testkit::kSanitized && c.script.find("ulimit") != std::string::npos) continue;
    const auto run = testkit::runToEnd("/bin/bash", {"-c", c.script}, dir.path(), kSilent);
    EXPECT_EQ(run.out, c.out) << c.script << "\n" << run.err;
  }
}

TEST(Hostile, MemoryThatRunsOutIsAFailedStartUp) {
  if (testkit::kSanitized) GTEST_SKIP() << "sanitizers cannot run under a memory limit";
  TempDir dir;
  // Two million elements need more than the limit leaves.
  std::string playlist = "x=(_main=(";
  for (int i = 0; i < 2000000; ++i) playlist += "1,";
  ASSERT_TRUE(dir.write("big.txt", playlist + "1));"));
  const auto run = testkit::runToEnd(
      "/bin/bash", {"-c", "ulimit -v 250000; " + std::string(testkit::kVelumora) + " big.txt"},
      dir.path(), kSilent);
  EXPECT_EQ(run.status, 255) << run.out << run.err;
  EXPECT_EQ(run.out,
            "Velumora ver 1.0.1\ninitializing...out of memory\nVelumora Initialization Failed\n" +
                testkit::shutdownLines(0))
      << run.err;
}

}  // namespace

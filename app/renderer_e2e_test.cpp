// velumora-render as a user runs it: how it fails, and that it never leaves
// a file behind or writes over its input. What it writes is heard in
// sound_e2e_test.cpp.

#include <gtest/gtest.h>

#include <string>

#include "testing/child.h"
#include "testing/temp_dir.h"

namespace {

TEST(Render, FailsWithoutLeavingAFileAndNeverWritesOverItsInput) {
  testkit::TempDir dir;
  ASSERT_TRUE(dir.write("p.txt", "x=(_main=(\"none.wav\",1));"));
  ASSERT_TRUE(dir.write("ok.txt", "r=(_main=100;_param=_infinite,0,0);"));
  // Each run prints its exit status, then the files it left and the
  // playlist's first bytes.
  const std::pair<const char*, const char*> cases[] = {
      {"p.txt o.wav", "1\n"},
      {"none.txt o.wav", "1\n"},
      {"ok.txt", "2\n"},
      {"ok.txt o.wav --seconds 0", "2\n"},
      {"ok.txt o.wav --seed -1", "2\n"},
      {"ok.txt o.wav --rate 0", "2\n"},
      {"ok.txt o.wav --channels 1", "2\n"},
      {"ok.txt ok.txt", "1\n"},
      // The WAV on standard output; the words beside it on standard error,
      // all of them, though the mixer silences standard error while SDL opens.
      {"ok.txt - --seconds 1 2>err | head -c 4; [ \"$(head -c 34 err)\" = "
       "'Velumora ver 1.0.1\ninitializing...' ]",
       "RIFF0\n"},
  };
  for (const auto& [args, out] : cases) {
    const std::string script = std::string(testkit::kRender) + " " + args +
                               " >/dev/null 2>&1; echo $?; ls *.wav* 2>/dev/null; head -c 2 ok.txt";
    EXPECT_EQ(testkit::runToEnd("/bin/bash", {"-c", script}, dir.path()).out,
              out + std::string("r="))
        << args;
  }
}

TEST(Render, ASignalEndsItWhereverItsOutputGoes) {
  testkit::TempDir dir;
  ASSERT_TRUE(dir.write("ok.txt", "r=(_main=100;_param=_infinite,0,0);"));
  // Each run is signalled a second after start-up; it prints its exit
  // status (or that it did not end), its last line and the files it left.
  // "stall" is a FIFO that the script holds open and never reads; "lonely"
  // one that nobody opens for reading.
  const std::pair<const char*, const char*> cases[] = {
      {"o.wav >log", "o.wav"},
      {"- >&3 2>log", "-"},
      {"lonely >log", "lonely"},
  };
  for (const auto& [args, output] : cases) {
    const std::string script =
        "mkfifo stall lonely && exec 3<>stall; " + std::string(testkit::kRender) +
        " ok.txt --seconds 800000 " + args +
        " & p=$!; until grep -q done log 2>/dev/null; do sleep 0.1; done; sleep 1; kill -INT $p; "
        "for i in $(seq 50); do kill -0 $p 2>/dev/null || break; sleep 0.1; done; "
        "kill -KILL $p 2>/dev/null && echo still running; wait $p; echo $?; tail -n 1 log; "
        "rm stall lonely log; ls";
    EXPECT_EQ(testkit::runToEnd("/bin/bash", {"-c", script}, dir.path()).out,
              "130\ninterrupted: \"" + std::string(output) + "\" not written\nok.txt\n")
        << args;
  }
}

}  // namespace

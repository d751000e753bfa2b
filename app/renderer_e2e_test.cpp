// velumora-render as a user runs it: how it fails, and that it never leaves
// a file behind or writes over its input. What it writes is heard in
// sound_e2e_test.cpp.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
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
  testkit::Child long_(testkit::kRender, {"ok.txt", "o.wav", "--seconds", "800000"}, dir.path());
  ASSERT_TRUE(long_.waitFor("rendering"));
  long_.signal(SIGINT);
  EXPECT_EQ(long_.wait(), 130);
  EXPECT_NE(long_.out().find("interrupted: \"o.wav\" not written\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.wav")));
}

}  // namespace

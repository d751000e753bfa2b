// Reading a playlist file from anything a name can point at. Where its text
// ends, and what cleaning does to it, is in source_map_test.cpp.

#include "playlist/playlist_file.h"
#include "base/problem_reporter.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

TEST(PlaylistFile, ReadsPastItsBufferToTheFirstNulAndSaysWhatCannotBeOpened) {
  testkit::TempDir dir;
  ASSERT_TRUE(dir.write("p.txt", std::string(200000, 'x') + '\0' + "y"));
  testkit::StdoutCapture out;
  std::string read;
  ProblemReporter player;
  EXPECT_TRUE(readWholeFile(dir.file("p.txt"), read, player));
  EXPECT_EQ(read, std::string(200000, 'x'));
  EXPECT_FALSE(readWholeFile(dir.path(), read, player));
  EXPECT_FALSE(readWholeFile(dir.file("none.txt"), read, player));
  // A device that never ends: reading stops at its first NUL.
  EXPECT_TRUE(readWholeFile("/dev/zero", read, player));
  EXPECT_EQ(read, "");
  EXPECT_EQ(out.text(), "Unable to Open file \"" + dir.path() + "\"\nUnable to Open file \"" +
                            dir.file("none.txt") + "\"\n");
}

}  // namespace

// Reading a playlist file: where its text ends, and what cannot be read.

#include "playlist/playlist_file.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

TEST(PlaylistFile, ReadsTextUpToNulOrCtrlZ) {
  testkit::TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\rc", "a\nb\rc"},
      {std::string("ab\0cd", 5), "ab"},
      {"ab\x1a"
       "cd",
       "ab"},
      {std::string(200000, 'x') + '\0' + "y", std::string(200000, 'x')},
  };
  for (const auto& [content, text] : cases) {
    ASSERT_TRUE(dir.write("p.txt", content));
    std::string read;
    EXPECT_TRUE(readWholeFile(dir.file("p.txt"), read));
    EXPECT_EQ(read, text);
  }
  testkit::StdoutCapture out;
  std::string read = "kept";
  EXPECT_FALSE(readWholeFile(dir.path(), read));
  EXPECT_FALSE(readWholeFile(dir.file("none.txt"), read));
  // A device that never ends: reading stops at its first NUL.
  EXPECT_TRUE(readWholeFile("/dev/zero", read));
  EXPECT_EQ(read, "");
  EXPECT_EQ(out.text(), "Unable to Open file \"" + dir.path() + "\"\nUnable to Open file \"" +
                            dir.file("none.txt") + "\"\n");
}

}  // namespace

// Cleaning a playlist, and where each cleaned byte came from: CR LF, a byte
// order mark, comments, blanks, line feeds and the quote added to close an
// odd one all go or move it.

#include "base/source_map.h"
#include "base/problem_reporter.h"

#include <gtest/gtest.h>

#include <string>

#include "playlist/playlist_file.h"
#include "testing/temp_dir.h"

namespace {

TEST(SourceMap, EveryCleanedByteKnowsItsLineAndColumn) {
  const struct {
    std::string file;
    const char* expected;  // "cleaned byte@line:column" for each cleaned byte
    const char* firstLine;
  } cases[] = {
      // The text ends at its first NUL or Ctrl-Z; a lone CR stays and ends no line.
      {"a b\r\n\tc\rd\032e", "a@1:1 b@1:3 c@2:2 \r@2:3 d@2:4", "a b"},
      {std::string("ab\0cd", 5), "a@1:1 b@1:2", "ab"},
      {"\xEF\xBB\xBFx//y\r\nz", "x@1:1 z@2:1", "x//y"},
      {"q \"s t\" ;", "q@1:1 \"@1:3 s@1:4  @1:5 t@1:6 \"@1:7 ;@1:9", "q \"s t\" ;"},
      {"\"a//c\nb", "\"@1:1 a@1:2 b@2:1 \"@2:2", "\"a//c"},
      {"x\n\n  \"", "x@1:1", "x"},
      {"a\"\"\"", "a@1:1 \"@1:2 \"@1:3", "a\"\"\""},
      // Line feeds go inside quotes too; a comment starts even there.
      {"a b\n\"c\nd\"", "a@1:1 b@1:3 \"@2:1 c@2:2 d@3:1 \"@3:2", "a b"},
      {"x=\"a//b.wav\";\ny=1;", "x@1:1 =@1:2 \"@1:3 a@1:4 y@2:1 =@2:2 1@2:3 ;@2:4 \"@2:5",
       "x=\"a//b.wav\";"},
  };
  testkit::TempDir dir;
  for (const auto& [file, expected, firstLine] : cases) {
    ASSERT_TRUE(dir.write("p.txt", file));
    SourceMap map;
    std::string text;
    ProblemReporter player;
    ASSERT_TRUE(readWholeFile(dir.file("p.txt"), text, player, &map));
    cleanPlaylistText(text, &map.origins());
    map.attach(text);
    std::string seen;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const SourceMap::Location at = map.locate(std::string_view(text).substr(i));
      seen += (i ? " " : "") + text.substr(i, 1) + "@" + std::to_string(at.line) + ":" +
              std::to_string(at.column);
    }
    EXPECT_EQ(seen, expected) << file;
    EXPECT_EQ(map.locateSource(0).lineText, firstLine) << file;
  }
}

}  // namespace

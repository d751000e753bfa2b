#include "playlist/playlist_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "playlist/text_division.h"

namespace {

// Reference versions written the plain way: divide the text alternately at
// "//" and the line feed, keep the pieces outside comments; pair the double
// quotes from the start; read byte by byte.

std::string refEraseComments(const std::string& text) {
  StringList pieces;
  std::size_t p = text.find("//");
  if (p == std::string::npos) {
    pieces.push_back(text);
  } else {
    if (p > 0) pieces.push_back(text.substr(0, p));
    std::size_t start = p + 2;
    for (int k = 0;; ++k) {
      const std::string sought = (k % 2 == 0) ? "\n" : "//";
      const std::size_t found = text.find(sought, start);
      if (found == std::string::npos) break;
      pieces.push_back(text.substr(start, found - start));
      start = found + sought.size();
    }
    if (start < text.size()) pieces.push_back(text.substr(start));
  }
  std::string result;
  for (std::size_t i = (text.compare(0, 2, "//") == 0) ? 1 : 0; i < pieces.size(); i += 2) {
    for (char c : pieces[i]) {
      if (c != '\n') result += c;
    }
  }
  return result;
}

std::string refClean(const std::string& text, std::string& output) {
  const std::string noComments = refEraseComments(text);
  if (noComments == "\"") {
    output += "Error in eraseSpace() : Unable to divide \"\"\" by \"\"\"\n";
    return noComments;
  }
  std::string result;
  bool inside = false;
  for (char c : noComments) {
    if (c == '"') {
      result += c;
      inside = !inside;
    } else if (inside || (c != ' ' && c != '\t')) {
      result += c;
    }
  }
  if (inside) {
    // An unpaired last quote is closed when text follows it, and dropped
    // when it ends the text.
    if (noComments.back() == '"') {
      result.pop_back();
    } else {
      result += '"';
    }
  }
  std::string withoutLineFeeds;
  for (char c : result) {
    if (c != '\n') withoutLineFeeds += c;
  }
  return withoutLineFeeds;
}

std::string refRead(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0' || bytes[i] == '\x1a') break;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

std::string randomText(std::mt19937& rng, const std::string& alphabet, std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> lengthOf(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text(lengthOf(rng), ' ');
  for (char& c : text) c = alphabet[pick(rng)];
  return text;
}

class PlaylistFileTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/velumora_playlist_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }

  static void TearDownTestSuite() {
    for (const std::string& path : written_) std::remove(path.c_str());
    rmdir((dir_ + "/subdir").c_str());
    rmdir(dir_.c_str());
  }

  static std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    written_.push_back(path);
    return path;
  }

  static std::string dir_;
  static std::vector<std::string> written_;
};

std::string PlaylistFileTest::dir_;
std::vector<std::string> PlaylistFileTest::written_;

TEST(CleanPlaylistTextTest, Table) {
  struct Row {
    std::string text;
    std::string cleaned;
    std::string output;
  };
  const std::vector<Row> rows = {
      {"", "", ""},
      {"a=1;//end", "a=1;", ""},
      {"//c\nx", "x", ""},
      {"abc//c\ndef", "abcdef", ""},
      {"a b\n\"c\nd\"", "ab\"cd\"", ""},
      {"\"x // y\"\nz", "\"x z\"", ""},
      {"x=\"a//b.wav\";\ny=1;", "x=\"ay=1;\"", ""},
      {"\"\n", "\"", "Error in eraseSpace() : Unable to divide \"\"\" by \"\"\"\n"},
      // More of the same rules: comments run to the line feed, a "//" inside
      // a comment means nothing, line feeds join lines, blanks vanish.
      {"//only a comment", "", ""},
      {"//a\n//b\n//c", "", ""},
      {"a//x//y\nb", "ab", ""},
      {"a\n\n\nb\n", "ab", ""},
      {"  500 to 900 ,\t1000", "500to900,1000", ""},
      {"a\r\nb", "a\rb", ""},
      {"\"a\tb\" \"c d\"", "\"a\tb\"\"c d\"", ""},
      {"a \"b c", "a\"b c\"", ""},
      {"/ /a", "//a", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    std::string text = row.text;
    testing::internal::CaptureStdout();
    cleanPlaylistText(text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.output);
    EXPECT_EQ(text, row.cleaned);
  }
}

TEST(EraseCommentsTest, KeepsBlanksRemovesLineFeeds) {
  struct Row {
    std::string text;
    std::string result;
  };
  const std::vector<Row> rows = {
      {"", ""},   {"a b", "a b"}, {"a b // c d\ne f", "a b e f"}, {"//x\n a", " a"}, {"a\nb", "ab"},
      {"//", ""}, {"/", "/"},     {"\"a//b\"\nc", "\"ac"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    std::string text = row.text;
    eraseComments(text);
    EXPECT_EQ(text, row.result);
  }
}

TEST(CleanPlaylistTextTest, RandomTextsAgainstReference) {
  std::mt19937 rng(4242);
  const std::string alphabet = "//\n\n \t\"a=(";
  std::string expectedOutput;
  testing::internal::CaptureStdout();
  for (int round = 0; round < 30000; ++round) {
    const std::string text = randomText(rng, alphabet, round < 3000 ? 4 : 40);
    SCOPED_TRACE("text \"" + text + "\"");
    std::string comments = text;
    eraseComments(comments);
    ASSERT_EQ(comments, refEraseComments(text));
    std::string cleaned = text;
    cleanPlaylistText(cleaned);
    ASSERT_EQ(cleaned, refClean(text, expectedOutput));
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOutput);
}

TEST_F(PlaylistFileTest, RandomFilesAgainstReference) {
  std::mt19937 rng(31337);
  const std::string alphabet("\r\r\n\na\0\x1a", 7);
  for (int round = 0; round < 300; ++round) {
    const std::string bytes = randomText(rng, alphabet, 24);
    const std::string path = write("random" + std::to_string(round), bytes);
    std::string text = "before";
    ASSERT_TRUE(readWholeFile(path, text));
    ASSERT_EQ(text, refRead(bytes)) << "round " << round;
  }
}

TEST_F(PlaylistFileTest, ThreeLinePlaylist) {
  const std::string cleaned = "rain=(_main=\"rain 1.wav\",500to900;_param=(_infinite,90,200););";
  const std::vector<std::string> lines = {
      "// my songs",
      "rain = ( _main = \"rain 1.wav\", 500 to 900 ; // loop",
      "_param = (_infinite, 90, 200) ; ) ;",
  };
  struct Row {
    std::string name;
    std::string lineEnd;
    bool finalLineEnd;
  };
  const std::vector<Row> rows = {
      {"lf", "\n", true},
      {"lf-no-final", "\n", false},
      {"crlf", "\r\n", true},
      {"crlf-no-final", "\r\n", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string bytes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      bytes += lines[i];
      if (i + 1 < lines.size() || row.finalLineEnd) bytes += row.lineEnd;
    }
    // Cleaning the text directly and reading it from a file agree.
    if (row.lineEnd == "\n") {
      std::string text = bytes;
      cleanPlaylistText(text);
      EXPECT_EQ(text, cleaned);
    }
    const std::string path = write(row.name + ".txt", bytes);
    std::string text;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(readWholeFile(path, text));
    cleanPlaylistText(text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(text, cleaned);
  }
}

TEST_F(PlaylistFileTest, ReadWholeFile) {
  struct Row {
    std::string name;
    std::string bytes;
    std::string text;
  };
  std::string big;
  std::string bigRead;
  // Line ends straddling every read boundary a buffered reader might use.
  for (int i = 0; i < 300000; ++i) {
    big += (i % 7 == 0) ? "\r\n" : "x";
    bigRead += (i % 7 == 0) ? "\n" : "x";
  }
  const std::vector<Row> rows = {
      {"empty", "", ""},
      {"plain", "a=1;", "a=1;"},
      {"crlf", "a\r\nb\r\n", "a\nb\n"},
      {"lone cr", "a\rb", "a\rb"},
      {"cr at end", "a\r", "a\r"},
      {"cr cr lf", "a\r\r\nb", "a\r\nb"},
      {"lf cr", "a\n\rb", "a\n\rb"},
      {"nul ends", std::string("ab\0cd", 5), "ab"},
      {"nul first", std::string("\0ab", 3), ""},
      {"ctrl-z ends",
       "ab\x1a"
       "cd",
       "ab"},
      {"ctrl-z after crlf", "a\r\n\x1a\r\nb", "a\n"},
      {"high bytes kept", "\xff\xfe\x80 \x7f", "\xff\xfe\x80 \x7f"},
      {"big", big, bigRead},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = write(row.name + ".bin", row.bytes);
    std::string text = "left over from before";
    testing::internal::CaptureStdout();
    EXPECT_TRUE(readWholeFile(path, text));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(text == row.text) << text.size() << " bytes read, " << row.text.size()
                                  << " expected";
  }
}

TEST_F(PlaylistFileTest, UnreadablePathsLeaveTheTextAlone) {
  ASSERT_EQ(mkdir((dir_ + "/subdir").c_str(), 0700), 0);
  const std::vector<std::string> paths = {
      dir_ + "/missing.txt",
      dir_ + "/subdir",
      dir_ + "/no/such/dir/playlist.txt",
      "",
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE("path \"" + path + "\"");
    std::string text = "untouched";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(readWholeFile(path, text));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to Open file \"" + path + "\"\n");
    EXPECT_EQ(text, "untouched");
  }
}

}  // namespace

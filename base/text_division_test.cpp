// The text operations on the edge cases that decide what a playlist means.

#include "base/text_division.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each piece in brackets, after "false " when the division fails.
std::string divided(const std::string& text, const std::string& delimiter, bool balanced) {
  std::string pieces;
  bool ok = true;
  if (balanced) {
    // Inside a larger text at level 1, so the index's levels are exercised.
    const BalancedText whole("x(" + text + ")y");
    TextPiece piece{std::string_view(whole.text()).substr(2, text.size()), 1};
    std::vector<TextPiece> parts;
    ok = whole.divide(piece, delimiter[0], parts);
    for (const TextPiece& part : parts) pieces += "[" + std::string(part.text) + "]";
  } else {
    ok = forEachPiece(text, delimiter, [&](std::size_t begin, std::size_t end) {
      pieces += "[" + text.substr(begin, end - begin) + "]";
    });
  }
  return (ok ? "" : "false ") + pieces;
}

TEST(TextDivision, Divide) {
  struct Case {
    const char* text;
    const char* delimiter;
    bool balanced;
    const char* pieces;
  } cases[] = {
      {"a,b,c", ",", false, "[a][b][c]"},
      {"a,,b", ",", false, "[a][][b]"},
      {",a", ",", false, "[a]"},
      {"a,", ",", false, "[a]"},
      {",,", ",", false, "[]"},
      {",", ",", false, "false "},
      {",", ",", true, "false "},
      {"", ",", true, ""},
      {"a", ",", true, "[a]"},
      {"a,(b,c),d", ",", true, "[a][(b,c)][d]"},
      {"a,(b,c),d", ",", false, "[a][(b][c)][d]"},
      {"(a,b", ",", true, "[(a,b]"},
      {")a(,b", ",", true, "[)a(][b]"},
      {"a:(b:c)=1:2", "=", true, "[a:(b:c)][1:2]"},
      {"100to200", "to", false, "[100][200]"},
      {"to5", "to", false, "[o5]"},
      {"to", "to", false, ""},
      {"12toto", "to", false, "[12][]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(divided(c.text, c.delimiter, c.balanced), c.pieces) << c.text;
  }
}

TEST(TextDivision, StripParentheses) {
  const std::pair<const char*, const char*> strips[] = {
      {"(a,b)", "a,b"}, {" (a) ", "a"}, {"( )", " "},       {"(a)(b)", "a)(b"},
      {"((a))", "(a)"}, {"(a))", "a)"}, {"x(a)", "x(a)"},   {"()", "()"},
      {"(a", "(a"},     {")a(", ")a("}, {"(a) x", "(a) x"}, {"\t(a)", "\t(a)"},
  };
  for (const auto& [text, stripped] : strips) {
    TextPiece piece{text, 0};
    stripParentheses(piece);
    EXPECT_EQ(piece.text, stripped) << text;
    EXPECT_EQ(piece.level, piece.text == text ? 0 : 1) << text;
  }
}

}  // namespace

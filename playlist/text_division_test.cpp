#include "playlist/text_division.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Reference versions of the operations, written the slow and obvious way:
// every candidate piece is recounted from scratch, every removal searches
// again from the beginning. The production code must give the same results.

int refCountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) {
    ++count;
  }
  return count;
}

bool refDivide(const std::string& text, const std::string& delimiter, StringList& pieces,
               bool balanced) {
  const std::size_t length = text.size();
  const std::size_t d = delimiter.size();
  std::size_t start = 0;
  std::size_t p = text.find(delimiter, 0);
  if (p == 0) {
    start = 1;
    if (length <= 1) return false;
    p = text.find(delimiter, 1);
  }
  std::size_t lastCut = (text.compare(0, d, delimiter) == 0) ? d : 0;
  while (p != std::string::npos) {
    const std::string candidate = text.substr(start, p - start);
    if (!balanced || refCountOf(candidate, "(") == refCountOf(candidate, ")")) {
      pieces.push_back(candidate);
      start = p + d;
      lastCut = start;
    }
    p = text.find(delimiter, p + 1);
  }
  if (lastCut < length) pieces.push_back(text.substr(start));
  return true;
}

void refDivideAlternately(const std::string& text, const std::string& first,
                          const std::string& second, StringList& pieces) {
  std::size_t p = text.find(first);
  if (p == std::string::npos) {
    pieces.push_back(text);
    return;
  }
  if (p > 0) pieces.push_back(text.substr(0, p));
  std::size_t start = p + first.size();
  for (int k = 0;; ++k) {
    const std::string& sought = (k % 2 == 0) ? second : first;
    const std::size_t found = text.find(sought, start);
    if (found == std::string::npos) break;
    pieces.push_back(text.substr(start, found - start));
    start = found + sought.size();
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
}

void refStripParentheses(std::string& text) {
  const std::size_t o = text.find('(');
  const std::size_t c = text.rfind(')');
  if (o == std::string::npos || c == std::string::npos || c < o + 2) return;
  for (std::size_t i = 0; i < o; ++i) {
    if (text[i] != ' ') return;
  }
  for (std::size_t i = c + 1; i < text.size(); ++i) {
    if (text[i] != ' ') return;
  }
  text = text.substr(o + 1, c - o - 1);
}

bool refDevideDevide(const std::string& text, const std::string& first, const std::string& second,
                     std::vector<StringList>& lists) {
  StringList firstLevel;
  if (!refDivide(text, first, firstLevel, true)) return false;
  for (const std::string& piece : firstLevel) {
    std::string copy = piece;
    refStripParentheses(copy);
    StringList secondLevel;
    if (!refDivide(copy, second, secondLevel, true)) return false;
    lists.push_back(secondLevel);
  }
  return true;
}

void refEraseAll(std::string& text, const std::string& needle) {
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle)) {
    text.erase(p, 1);
  }
}

// Returns the message eraseSpace should print ("" when none).
std::string refEraseSpace(std::string& text, bool& ok) {
  StringList pieces;
  if (!refDivide(text, "\"", pieces, false)) {
    ok = false;
    return "Error in eraseSpace() : Unable to divide \"" + text + "\" by \"\"\"\n";
  }
  const bool leadingQuote = !text.empty() && text[0] == '"';
  std::string result;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const bool inside = leadingQuote ? (i % 2 == 0) : (i % 2 == 1);
    std::string piece = pieces[i];
    if (inside) {
      result += "\"" + piece + "\"";
    } else {
      refEraseAll(piece, " ");
      refEraseAll(piece, "\t");
      result += piece;
    }
  }
  text = result;
  ok = true;
  return "";
}

std::string randomText(std::mt19937& rng, const std::string& alphabet, std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> lengthOf(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text(lengthOf(rng), ' ');
  for (char& c : text) c = alphabet[pick(rng)];
  return text;
}

// About `size` bytes of pattern-like text whose parentheses wander between
// balanced and unbalanced but never far from balanced, so that unbalanced
// stretches are many and short: stray ")" and "(" both occur.
std::string wanderingText(std::mt19937& rng, std::size_t size) {
  static const char* const kAtoms[] = {"a",           "100", "200to900", "x:y=1:3",
                                       "\"s 1.wav\"", "",    "b=2",      ":"};
  std::uniform_int_distribution<int> roll(0, 99);
  std::uniform_int_distribution<std::size_t> atom(0, sizeof kAtoms / sizeof kAtoms[0] - 1);
  std::string text;
  text.reserve(size + 64);
  int balance = 0;
  while (text.size() < size) {
    const int r = roll(rng);
    if (r < 12 && balance < 4) {
      text += '(';
      ++balance;
    } else if (r < 24 && balance > -4) {
      text += ')';
      --balance;
    } else if (r < 60) {
      text += ',';
    } else {
      text += kAtoms[atom(rng)];
    }
  }
  return text;
}

// ---------------------------------------------------------------------------

TEST(DivideTest, Table) {
  struct Row {
    std::string text;
    std::string delimiter;
    bool balanced;
    bool result;
    StringList pieces;
  };
  const std::vector<Row> rows = {
      {"a,b,c", ",", false, true, {"a", "b", "c"}},
      {"a,,b", ",", false, true, {"a", "", "b"}},
      {",a", ",", false, true, {"a"}},
      {"a,", ",", false, true, {"a"}},
      {",,", ",", false, true, {""}},
      {",", ",", false, false, {}},
      {",", ",", true, false, {}},
      {"", ",", false, true, {}},
      {"", ",", true, true, {}},
      {"a", ",", false, true, {"a"}},
      {"a", ",", true, true, {"a"}},
      {"a,(b,c),d", ",", true, true, {"a", "(b,c)", "d"}},
      {"a,(b,c),d", ",", false, true, {"a", "(b", "c)", "d"}},
      {"(a,b", ",", true, true, {"(a,b"}},
      {")a(,b", ",", true, true, {")a(", "b"}},
      {"100to200", "to", false, true, {"100", "200"}},
      {"to5", "to", false, true, {"o5"}},
      {"to", "to", false, true, {}},
      // Beyond the basic rows: nesting, a rejected cut carried over, and
      // the other delimiters in use.
      {"((a,b),c),d", ",", true, true, {"((a,b),c)", "d"}},
      {"(a,b,c", ",", true, true, {"(a,b,c"}},
      {"a),(b,c", ",", true, true, {"a),(b", "c"}},
      {"x:y=(1:2=3:4)", "=", true, true, {"x:y", "(1:2=3:4)"}},
      {"a=b=c", "=", true, true, {"a", "b", "c"}},
      {"=a", "=", true, true, {"a"}},
      {":", ":", true, false, {}},
      {"::", ":", true, true, {""}},
      {"1to2to3", "to", false, true, {"1", "2", "3"}},
      {"5to", "to", false, true, {"5"}},
      {"\"", "\"", false, false, {}},
      {"\"\"", "\"", false, true, {""}},
      {"a\"b c\"d", "\"", false, true, {"a", "b c", "d"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\" at \"" + row.delimiter + "\"" +
                 (row.balanced ? " balanced" : ""));
    StringList pieces;
    EXPECT_EQ(divide(row.text, row.delimiter, pieces, row.balanced), row.result);
    EXPECT_EQ(pieces, row.pieces);

    // The pieces go after what the list already holds.
    StringList appended = {"kept"};
    divide(row.text, row.delimiter, appended, row.balanced);
    StringList expected = {"kept"};
    expected.insert(expected.end(), row.pieces.begin(), row.pieces.end());
    EXPECT_EQ(appended, expected);

    bool visited = false;
    std::size_t count = 0;
    const bool viaVisitor = forEachPiece(
        row.text, row.delimiter, row.balanced, [&](std::size_t begin, std::size_t end) {
          visited = true;
          ASSERT_LT(count, row.pieces.size());
          EXPECT_EQ(row.text.substr(begin, end - begin), row.pieces[count]);
          ++count;
        });
    EXPECT_EQ(viaVisitor, row.result);
    EXPECT_EQ(count, row.pieces.size());
    EXPECT_EQ(visited, !row.pieces.empty());
  }
}

TEST(DivideAlternatelyTest, CommentsAndLineFeeds) {
  struct Row {
    std::string text;
    StringList pieces;
  };
  const std::vector<Row> rows = {
      {"abc", {"abc"}},
      {"", {""}},
      {"a//b\nc", {"a", "b", "c"}},
      {"//b\nc", {"b", "c"}},
      {"a//b", {"a", "b"}},
      {"a//\nb", {"a", "", "b"}},
      {"a//b\n", {"a", "b"}},
      {"a//b//c\nd", {"a", "b//c", "d"}},
      {"abc//comment\ndef", {"abc", "comment", "def"}},
      // A line feed outside a comment is ordinary text while "//" is sought.
      {"a\nb//c\nd\ne//f", {"a\nb", "c", "d\ne", "f"}},
      {"//", {}},
      {"a//\n//\n", {"a", "", "", ""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    StringList pieces = {"kept"};
    divideAlternately(row.text, "//", "\n", pieces);
    StringList expected = {"kept"};
    expected.insert(expected.end(), row.pieces.begin(), row.pieces.end());
    EXPECT_EQ(pieces, expected);
  }
}

TEST(StripParenthesesTest, Table) {
  struct Row {
    std::string text;
    std::string result;
  };
  const std::vector<Row> rows = {
      {"(a,b)", "a,b"},
      {" (a) ", "a"},
      {"( )", " "},
      {"(a)(b)", "a)(b"},
      {"((a))", "(a)"},
      {"(a))", "a)"},
      {"x(a)", "x(a)"},
      {"()", "()"},
      {"(a", "(a"},
      {"a)", "a)"},
      {")a(", ")a("},
      {"(a) x", "(a) x"},
      {"\t(a)", "\t(a)"},
      {"(a)\t", "(a)\t"},
      {"", ""},
      {"(", "("},
      {")(", ")("},
      {"  ()  ", "  ()  "},
      {"(_main=1;b=2)", "_main=1;b=2"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    std::string text = row.text;
    stripParentheses(text);
    EXPECT_EQ(text, row.result);
  }
}

TEST(EraseSpaceTest, Table) {
  struct Row {
    std::string text;
    bool result;
    std::string after;
    std::string output;
  };
  const std::vector<Row> rows = {
      {"a b\t\"c d\" e", true, "ab\"c d\"e", ""},
      {"\"c d\" e", true, "\"c d\"e", ""},
      {"a \"b c", true, "a\"b c\"", ""},
      {"abc\"", true, "abc", ""},
      {"a\"b\"c\"", true, "a\"b\"c", ""},
      {"\"\"", true, "\"\"", ""},
      {"x", true, "x", ""},
      {"", true, "", ""},
      {"\"", false, "\"", "Error in eraseSpace() : Unable to divide \"\"\" by \"\"\"\n"},
      // Blanks other than space and tab stay; blanks inside quotes stay.
      {" \t\n\r\v", true, "\n\r\v", ""},
      {"\" \t \"", true, "\" \t \"", ""},
      {"a \" \" b \" \" c", true, "a\" \"b\" \"c", ""},
      {"\"\"\"", true, "\"\"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    std::string text = row.text;
    testing::internal::CaptureStdout();
    const bool result = eraseSpace(text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.output);
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(text, row.after);
  }
}

TEST(DevideDevideTest, Table) {
  struct Row {
    std::string text;
    bool result;
    std::vector<StringList> lists;
  };
  const std::vector<Row> rows = {
      {"a=1;b=(x=2)", true, {{"a", "1"}, {"b", "(x=2)"}}},
      {"(a=1;b=2)", true, {{"a", "1;b", "2"}}},
      {"a;b", true, {{"a"}, {"b"}}},
      {"", true, {}},
      {"a=1;=", false, {{"a", "1"}}},
      {";", false, {}},
      // Each first-level piece loses one pair of parentheses before its
      // second division; the text as a whole does not.
      {"(a=1);(b=(c=2))", true, {{"a", "1"}, {"b", "(c=2)"}}},
      {"a=1;;b=2", true, {{"a", "1"}, {}, {"b", "2"}}},
      {"a=1;b=2;", true, {{"a", "1"}, {"b", "2"}}},
      {"a=1;(=)", false, {{"a", "1"}}},
      {"a=1;(x);b=2", true, {{"a", "1"}, {"x"}, {"b", "2"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    std::vector<StringList> lists = {{"kept"}};
    EXPECT_EQ(devideDevide(row.text, ";", "=", lists), row.result);
    std::vector<StringList> expected = {{"kept"}};
    expected.insert(expected.end(), row.lists.begin(), row.lists.end());
    EXPECT_EQ(lists, expected);
  }
}

TEST(IsNumberTest, Table) {
  struct Row {
    std::string text;
    bool result;
  };
  const std::vector<Row> rows = {
      {"", true},    {"007", true}, {"0123456789", true}, {"-1", false},    {"+1", false},
      {"1 ", false}, {" 1", false}, {"1.5", false},       {"a", false},     {"1a", false},
      {"/", false},  {":", false},  {"\xb2", false},      {"12to3", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    EXPECT_EQ(isNumber(row.text), row.result);
  }
  // A NUL inside the text is not a digit either.
  EXPECT_FALSE(
      isNumber(std::string("1\0"
                           "2",
                           3)));
}

TEST(CountOfTest, Table) {
  struct Row {
    std::string text;
    std::string needle;
    int count;
  };
  const std::vector<Row> rows = {
      {"((a)", "(", 2},      {"", "(", 0},     {"abc", "(", 0},
      {"\"a\"b\"", "\"", 3}, {",,,", ",", 3},  {"1to2to3", "to", 2},
      {"toto", "to", 2},     {"t o", "to", 0}, {"x", "xy", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("\"" + row.needle + "\" in \"" + row.text + "\"");
    EXPECT_EQ(countOf(row.text, row.needle), row.count);
  }
}

TEST(EraseAllTest, Table) {
  struct Row {
    std::string text;
    std::string needle;
    std::string result;
  };
  const std::vector<Row> rows = {
      {"a b  c", " ", "abc"}, {"   ", " ", ""},           {"", " ", ""},
      {"abc", " ", "abc"},    {"\n\na\n", "\n", "a"},     {"a\tb\t", "\t", "ab"},
      {"a \tb", "\t", "a b"}, {"\"a b\"", " ", "\"ab\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("\"" + row.needle + "\" from \"" + row.text + "\"");
    std::string text = row.text;
    eraseAll(text, row.needle);
    EXPECT_EQ(text, row.result);
  }
}

TEST(ReadNumberTest, ReadsLikeAtoiAndSaturates) {
  struct Row {
    std::string text;
    int32_t value;
  };
  const std::vector<Row> rows = {
      {"0", 0},
      {"42", 42},
      {"007", 7},
      {"", 0},
      {"x", 0},
      {"-", 0},
      {"+", 0},
      {"+5", 5},
      {"-7x", -7},
      {"12to34", 12},
      {" 12", 12},
      {"\t\n\v\f\r 12", 12},
      {"1 2", 1},
      {"- 5", 0},
      {"+-5", 0},
      {"--5", 0},
      {"_infinite", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999", 2147483647},
      {"99999999999999999999999999999999", 2147483647},
      {"-2147483647", -2147483647},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999", INT32_MIN},
      {"000000000000000000000000000012", 12},
      {"4294967297", 2147483647},
      {"998", 998},
      {"-1", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    EXPECT_EQ(readNumber(row.text), row.value);
  }
}

TEST(ParenthesisDepthTest, Table) {
  struct Row {
    std::string text;
    std::size_t depth;
  };
  const std::vector<Row> rows = {
      {"", 0},     {"abc", 0},   {"()", 1},   {"(a)(b)", 1}, {"((a))", 2},         {"(()())", 2},
      {"((a)", 2}, {")(", 1},    {")))(", 1}, {"))(((", 3},  {"(a,(b,(c)),d)", 3}, {"(((", 3},
      {"())(", 1}, {"\"(\"", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    EXPECT_EQ(parenthesisDepth(row.text), row.depth);
  }
  EXPECT_EQ(parenthesisDepth(std::string(200000, '(') + std::string(200000, ')')), 200000u);
}

// ---------------------------------------------------------------------------
// Random texts against the reference versions.

TEST(TextDivisionAgainstReferenceTest, RandomShortTexts) {
  std::mt19937 rng(20240611);
  const std::string alphabet = "(),=:ato\" 1";
  struct Division {
    const char* delimiter;
    bool balanced;
  };
  const std::vector<Division> divisions = {{",", true},   {",", false}, {"=", true},  {":", true},
                                           {"to", false}, {"to", true}, {"\"", false}};
  std::string expectedOutput;
  testing::internal::CaptureStdout();
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(rng, alphabet, round < 2000 ? 4 : 40);
    SCOPED_TRACE("text \"" + text + "\"");
    for (const Division& division : divisions) {
      SCOPED_TRACE(std::string("delimiter \"") + division.delimiter + "\"" +
                   (division.balanced ? " balanced" : ""));
      StringList got;
      StringList want;
      ASSERT_EQ(divide(text, division.delimiter, got, division.balanced),
                refDivide(text, division.delimiter, want, division.balanced));
      ASSERT_EQ(got, want);
    }
    std::vector<StringList> gotLists;
    std::vector<StringList> wantLists;
    ASSERT_EQ(devideDevide(text, ";", "=", gotLists), refDevideDevide(text, ";", "=", wantLists));
    ASSERT_EQ(gotLists, wantLists);
    gotLists.clear();
    wantLists.clear();
    ASSERT_EQ(devideDevide(text, ",", ":", gotLists), refDevideDevide(text, ",", ":", wantLists));
    ASSERT_EQ(gotLists, wantLists);

    std::string stripped = text;
    std::string refStripped = text;
    stripParentheses(stripped);
    refStripParentheses(refStripped);
    ASSERT_EQ(stripped, refStripped);

    std::string spaced = text;
    std::string refSpaced = text;
    bool refOk = false;
    expectedOutput += refEraseSpace(refSpaced, refOk);
    ASSERT_EQ(eraseSpace(spaced), refOk);
    ASSERT_EQ(spaced, refSpaced);

    ASSERT_EQ(countOf(text, "("), refCountOf(text, "("));
    ASSERT_EQ(countOf(text, "to"), refCountOf(text, "to"));
    std::string erased = text;
    std::string refErased = text;
    eraseAll(erased, " ");
    refEraseAll(refErased, " ");
    ASSERT_EQ(erased, refErased);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOutput);
}

TEST(TextDivisionAgainstReferenceTest, RandomCommentTexts) {
  std::mt19937 rng(777);
  const std::string alphabet = "//\n\na \"";
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(rng, alphabet, 30);
    SCOPED_TRACE("text \"" + text + "\"");
    StringList got;
    StringList want;
    divideAlternately(text, "//", "\n", got);
    refDivideAlternately(text, "//", "\n", want);
    ASSERT_EQ(got, want);
  }
}

// ---------------------------------------------------------------------------
// Megabyte texts: the same results as the reference, in linear time.

TEST(LongTextTest, WanderingParenthesesMatchReference) {
  std::mt19937 rng(99);
  for (int round = 0; round < 2; ++round) {
    const std::string text = wanderingText(rng, 1 << 20);
    SCOPED_TRACE("round " + std::to_string(round));
    for (const char* delimiter : {",", "=", ":"}) {
      SCOPED_TRACE(delimiter);
      StringList got;
      StringList want;
      ASSERT_EQ(divide(text, delimiter, got, true), refDivide(text, delimiter, want, true));
      ASSERT_EQ(got.size(), want.size());
      EXPECT_TRUE(got == want);
    }
    std::vector<StringList> gotLists;
    std::vector<StringList> wantLists;
    ASSERT_EQ(devideDevide(text, ",", "=", gotLists), refDevideDevide(text, ",", "=", wantLists));
    EXPECT_TRUE(gotLists == wantLists);

    std::string spaced = text;
    std::string refSpaced = text;
    bool refOk = false;
    refEraseSpace(refSpaced, refOk);
    ASSERT_TRUE(refOk);
    ASSERT_TRUE(eraseSpace(spaced));
    EXPECT_TRUE(spaced == refSpaced);
  }
}

TEST(LongTextTest, UnbalancedMegabyteDividesInLinearTime) {
  struct Row {
    std::string name;
    std::string text;
    std::string delimiter;
    StringList pieces;
  };
  std::string manyCommas;
  for (int i = 0; i < 250000; ++i) manyCommas += "ab,";
  std::string manyEquals;
  for (int i = 0; i < 250000; ++i) manyEquals += "ab=";
  std::string closedAtEnd = "(" + manyCommas + ")";
  std::vector<Row> rows = {
      // Never closed: no cut balances, so the whole text, its last delimiter
      // included, is one piece.
      {"open at start", "(" + manyCommas, ",", {"(" + manyCommas}},
      {"closed at end", closedAtEnd + ",z", ",", {closedAtEnd, "z"}},
      {"stray close first", ")" + manyCommas + "(", ",", {")" + manyCommas + "("}},
      {"unbalanced choice", "(" + manyEquals, "=", {"(" + manyEquals}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto started = std::chrono::steady_clock::now();
    StringList pieces;
    EXPECT_TRUE(divide(row.text, row.delimiter, pieces, true));
    std::size_t visited = 0;
    forEachPiece(row.text, row.delimiter, true, [&](std::size_t, std::size_t) { ++visited; });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(pieces == row.pieces) << pieces.size() << " pieces";
    EXPECT_EQ(visited, row.pieces.size());
    // Rescanning each rejected candidate would take minutes here.
    EXPECT_LT(seconds, 5.0);
  }

  // Balanced: every comma cuts.
  StringList pieces;
  EXPECT_TRUE(divide(manyCommas, ",", pieces, true));
  ASSERT_EQ(pieces.size(), 250000u);
  EXPECT_EQ(pieces.front(), "ab");
  EXPECT_EQ(pieces.back(), "ab");
}

TEST(LongTextTest, MegabyteOfBlanksAndQuotes) {
  std::string text;
  std::string expected;
  while (text.size() < (1u << 20)) {
    text += " \ta , b\t\"x y\"  ";
    expected += "a,b\"x y\"";
  }
  text += "\"tail  end";
  expected += "\"tail  end\"";
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(eraseSpace(text));
  eraseAll(text, "\n");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_TRUE(text == expected);
  EXPECT_LT(seconds, 5.0);

  std::string spaces(1 << 20, ' ');
  eraseAll(spaces, " ");
  EXPECT_EQ(spaces, "");
}

}  // namespace

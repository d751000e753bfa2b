#ifndef VELUMORA_PLAYLIST_TEXT_DIVISION_H_
#define VELUMORA_PLAYLIST_TEXT_DIVISION_H_

// The byte-string operations that the playlist reader and the pattern
// classifier are built on. They hold no state and may be called from any
// thread. Each runs in time linear in its text.
//
// The division operations append their pieces at the end of the list they are
// given and never clear it. Delimiters and needles are never empty, and none
// of those in use can overlap itself.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

using StringList = std::vector<std::string>;

// Splits text at every occurrence of delimiter. With balanced, a cut is made
// only where the piece before it holds as many "(" as ")". A leading
// delimiter gives no empty first piece and a trailing one no empty last
// piece. Fails, appending nothing, only when text is the delimiter's first
// character alone (the text begins with the delimiter and is at most one
// character long).
bool divide(const std::string& text, const std::string& delimiter, StringList& pieces,
            bool balanced);

// Splits text alternately at first and at second, starting with first.
void divideAlternately(const std::string& text, const std::string& first, const std::string& second,
                       StringList& pieces);

// Divides text at first (balanced); each piece, stripped of one pair of
// enclosing parentheses, is divided at second (balanced) into one list.
// Lists appended before a failure stay appended.
bool devideDevide(const std::string& text, const std::string& first, const std::string& second,
                  std::vector<StringList>& lists);

// Removes the first "(" and the last ")" when only spaces stand outside them
// and something stands between them.
void stripParentheses(std::string& text);

// Removes every space and tab outside double quotes. Fails, with a message,
// only on a text that is a single double quote.
bool eraseSpace(std::string& text);

// Removes every occurrence of needle.
void eraseAll(std::string& text, const std::string& needle);

int countOf(const std::string& text, const std::string& needle);

// True when every character is a decimal digit; true for the empty text.
bool isNumber(const std::string& text);

// Reads a number the way the C library's atoi does (leading white space, an
// optional sign, then digits; none reads as 0), but saturates at the limits
// of a 32-bit integer instead of overflowing. Every number of the playlist is
// read with it.
int32_t readNumber(const std::string& text);

// The greatest nesting of "(" in text, a ")" closing one level; it lets a
// deeply nested text be refused before it is divided level by level.
std::size_t parenthesisDepth(const std::string& text);

// Calls visit(begin, end) for each piece that divide() would append, in
// order, without copying; returns what divide() would return. Lets a caller
// count or inspect pieces of a large text cheaply. A visit that returns a
// bool stops the walk by returning false.
template <typename Visit>
bool keepVisiting(Visit& visit, std::size_t begin, std::size_t end) {
  if constexpr (std::is_same_v<decltype(visit(begin, end)), bool>) {
    return visit(begin, end);
  } else {
    visit(begin, end);
    return true;
  }
}

template <typename Visit>
bool forEachPiece(const std::string& text, const std::string& delimiter, bool balanced,
                  Visit visit) {
  const std::size_t length = text.size();
  const std::size_t d = delimiter.size();
  // Every delimiter in use but "to" is one character: memchr finds those.
  const auto find = [&](std::size_t from) -> std::size_t {
    if (d != 1) return text.find(delimiter, from);
    if (from >= length) return std::string::npos;
    const void* found = std::memchr(text.data() + from, delimiter[0], length - from);
    return found == nullptr
               ? std::string::npos
               : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
  };
  std::size_t start = 0;
  std::size_t p = find(0);
  const bool leading = (p == 0);
  if (leading) {
    start = 1;
    if (length <= 1) return false;
    p = find(1);
  }
  std::size_t lastCut = leading ? d : 0;
  // Running counts of "(" and ")" in text[start, scanned): a rejected cut
  // keeps its start, so the counts carry on instead of being recounted.
  long balance = 0;
  std::size_t scanned = start;
  while (p != std::string::npos) {
    bool accept = true;
    if (balanced) {
      for (; scanned < p; ++scanned) {
        const char c = text[scanned];
        balance += (c == '(') - (c == ')');
      }
      accept = (balance == 0);
    }
    if (accept) {
      if (!keepVisiting(visit, start, p)) return true;
      start = p + d;
      lastCut = start;
      balance = 0;
      scanned = start;
    }
    p = find(p + 1);
  }
  if (lastCut < length) visit(start, length);
  return true;
}

#endif  // VELUMORA_PLAYLIST_TEXT_DIVISION_H_

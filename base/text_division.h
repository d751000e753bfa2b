#ifndef VELUMORA_BASE_TEXT_DIVISION_H_
#define VELUMORA_BASE_TEXT_DIVISION_H_

// The byte-string operations that the playlist reader and the pattern
// classifier are built on. They hold no state and may be called from any
// thread; each runs in time linear in its text. Divisions where parentheses
// balance are BalancedText::divide.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/balanced_text.h"

// Divides piece at first (balanced); each piece, stripped of one pair of
// enclosing parentheses, is divided at second (balanced) into one list.
// Lists appended before a failure stay appended. Wholes, when given, gets
// each stripped piece of the first division as its list is made, the one
// that failed last.
bool devideDevide(const BalancedText& text, const TextPiece& piece, char first, char second,
                  std::vector<std::vector<TextPiece>>& lists,
                  std::vector<TextPiece>* wholes = nullptr);

// Removes the first "(" and the last ")" when only spaces stand outside them
// and something stands between them. The piece's level follows.
void stripParentheses(TextPiece& piece);

// Removes every space and tab outside double quotes; a last quote left open
// is closed at the end. Fails, with a message, only on a text that is a
// single double quote. Origins, when given, follow the bytes kept, the added
// quote coming from just after the last byte (SourceMap).
bool eraseSpace(std::string& text, std::vector<uint32_t>* origins = nullptr);

// Removes every occurrence of c; origins, when given, follow.
void eraseAll(std::string& text, char c, std::vector<uint32_t>* origins = nullptr);

// True when every character is a decimal digit; true for the empty text.
bool isNumber(std::string_view text);

// Reads a number the way the C library's atoi does (leading white space, an
// optional sign, then digits; none reads as 0), but saturates at the limits
// of a 32-bit integer instead of overflowing. Every number of the playlist is
// read with it.
int32_t readNumber(std::string_view text);

// Calls visit(begin, end) for each piece of text between occurrences of
// delimiter (every occurrence cuts; parentheses do not count), in order and
// without copying. A leading delimiter gives no empty first piece and a
// trailing one no empty last piece; returns false, visiting nothing, only
// when text is the delimiter's first character alone. A visit that returns
// a bool stops the walk by returning false.
template <typename Visit>
bool forEachPiece(std::string_view text, std::string_view delimiter, Visit visit) {
  const std::size_t length = text.size();
  const std::size_t d = delimiter.size();
  std::size_t start = 0;
  std::size_t p = text.find(delimiter);
  const bool leading = (p == 0);
  if (leading) {
    start = 1;
    if (length <= 1) return false;
    p = text.find(delimiter, 1);
  }
  std::size_t lastCut = leading ? d : 0;
  while (p != std::string_view::npos) {
    if constexpr (std::is_same_v<decltype(visit(start, p)), bool>) {
      if (!visit(start, p)) return true;
    } else {
      visit(start, p);
    }
    start = lastCut = p + d;
    p = text.find(delimiter, p + 1);
  }
  if (lastCut < length) visit(start, length);
  return true;
}

#endif  // VELUMORA_BASE_TEXT_DIVISION_H_

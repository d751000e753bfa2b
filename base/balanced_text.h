#ifndef VELUMORA_BASE_BALANCED_TEXT_H_
#define VELUMORA_BASE_BALANCED_TEXT_H_

// A cleaned playlist text, and the division of its pieces at a delimiter
// where parentheses balance. A cut at position p of a piece is accepted when
// the text from the piece's start to p holds as many "(" as ")" — which is
// when the parenthesis level (count of "(" minus count of ")" from the start
// of the whole text) at p equals the level at the piece's start. The
// delimiters ";", "=", "," and ":" are indexed by level once, so dividing a
// piece costs time in the number of pieces it yields, not in its length:
// however deeply a playlist nests, growing its trees stays linear in its
// size. Pattern trees keep TextPieces, views into this one text.
//
// Immutable once made; any thread may read it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A view into a BalancedText and the parenthesis level at its first
// character.
struct TextPiece {
  std::string_view text;
  int64_t level = 0;
};

class BalancedText {
 public:
  explicit BalancedText(std::string text);
  BalancedText(const BalancedText&) = delete;
  BalancedText& operator=(const BalancedText&) = delete;

  const std::string& text() const { return text_; }
  TextPiece whole() const { return TextPiece{text_, 0}; }
  // Position of a piece's first character in text().
  std::size_t offsetOf(const TextPiece& piece) const {
    return static_cast<std::size_t>(piece.text.data() - text_.data());
  }

  // Appends the pieces of piece between the delimiters at which its
  // parentheses balance, at most `most` of them. A leading delimiter gives no
  // empty first piece and a trailing one no empty last piece. False, with
  // nothing appended, only when the piece is the delimiter alone. The
  // delimiter is one of ";", "=", "," and ":".
  bool divide(const TextPiece& piece, char delimiter, std::vector<TextPiece>& pieces,
              std::size_t most = SIZE_MAX) const;

  // The same pieces, counted up to most and kept up to the size of first,
  // without allocating: for telling one, two and more apart.
  template <std::size_t N>
  bool count(const TextPiece& piece, char delimiter, std::size_t most, std::size_t& count,
             TextPiece (&first)[N]) const {
    count = 0;
    return forEachPiece(piece, delimiter, [&](const TextPiece& part) {
      if (count < N) first[count] = part;
      return ++count < most;
    });
  }

  // Calls visit for each of those pieces until it returns false.
  template <typename Visit>
  bool forEachPiece(const TextPiece& piece, char delimiter, Visit visit) const;

 private:
  static constexpr std::size_t kShortPiece = 64;

  // Cuts at or after from and before end, at the piece's level.
  const std::vector<uint32_t>* cuts(char delimiter, int64_t level) const;

  std::string text_;
  // Positions of each indexed delimiter, by (delimiter, level), ascending.
  std::unordered_map<int64_t, std::vector<uint32_t>> positions_;
};

template <typename Visit>
bool BalancedText::forEachPiece(const TextPiece& piece, char delimiter, Visit visit) const {
  const std::size_t length = piece.text.size();
  if (length == 0) return true;
  const bool leading = piece.text[0] == delimiter;
  if (leading && length <= 1) return false;
  const std::size_t begin = offsetOf(piece);
  const std::size_t end = begin + length;
  std::size_t start = begin + (leading ? 1 : 0);
  const auto part = [&](std::size_t from, std::size_t to) {
    return TextPiece{std::string_view(text_).substr(from, to - from), piece.level};
  };
  // A short piece is looked through; a long one is found in the index, so
  // that a deeply nested text is not scanned once per level.
  if (length <= kShortPiece) {
    int64_t level = piece.level;
    for (std::size_t at = begin; at < end; ++at) {
      const char c = text_[at];
      if (c == '(') {
        ++level;
      } else if (c == ')') {
        --level;
      } else if (c == delimiter && at >= start && level == piece.level) {
        if (!visit(part(start, at))) return true;
        start = at + 1;
      }
    }
  } else if (const std::vector<uint32_t>* at = cuts(delimiter, piece.level)) {
    for (auto it = std::lower_bound(at->begin(), at->end(), start); it != at->end() && *it < end;
         ++it) {
      if (!visit(part(start, *it))) return true;
      start = *it + 1;
    }
  }
  if (start < end) visit(part(start, end));
  return true;
}

#endif  // VELUMORA_BASE_BALANCED_TEXT_H_

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

 private:
  std::string text_;
  // Positions of each indexed delimiter, by (delimiter, level), ascending.
  std::unordered_map<int64_t, std::vector<uint32_t>> positions_;
};

#endif  // VELUMORA_BASE_BALANCED_TEXT_H_

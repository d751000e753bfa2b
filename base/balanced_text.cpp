#include "base/balanced_text.h"

#include <algorithm>

namespace {

int delimiterIndex(char c) {
  switch (c) {
    case ';':
      return 0;
    case '=':
      return 1;
    case ',':
      return 2;
    case ':':
      return 3;
    default:
      return -1;
  }
}

int64_t keyOf(int index, int64_t level) { return level * 4 + index; }

}  // namespace

BalancedText::BalancedText(std::string text) : text_(std::move(text)) {
  int64_t level = 0;
  for (std::size_t i = 0; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c == '(') {
      ++level;
    } else if (c == ')') {
      --level;
    } else {
      const int index = delimiterIndex(c);
      if (index >= 0) positions_[keyOf(index, level)].push_back(static_cast<uint32_t>(i));
    }
  }
}

bool BalancedText::divide(const TextPiece& piece, char delimiter, std::vector<TextPiece>& pieces,
                          std::size_t most) const {
  const std::size_t length = piece.text.size();
  if (length == 0) return true;
  const bool leading = piece.text[0] == delimiter;
  if (leading && length <= 1) return false;
  const std::size_t begin = offsetOf(piece);
  const std::size_t end = begin + length;
  std::size_t start = begin + (leading ? 1 : 0);
  std::size_t count = 0;
  const auto append = [&](std::size_t from, std::size_t to) {
    pieces.push_back(TextPiece{std::string_view(text_).substr(from, to - from), piece.level});
    return ++count < most;
  };
  const auto found = positions_.find(keyOf(delimiterIndex(delimiter), piece.level));
  if (found != positions_.end()) {
    const std::vector<uint32_t>& at = found->second;
    for (auto it = std::lower_bound(at.begin(), at.end(), start); it != at.end() && *it < end;
         ++it) {
      if (!append(start, *it)) return true;
      start = *it + 1;
    }
  }
  if (start < end) append(start, end);
  return true;
}

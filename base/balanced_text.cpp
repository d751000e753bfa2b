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
  std::size_t count = 0;
  return forEachPiece(piece, delimiter, [&](const TextPiece& part) {
    pieces.push_back(part);
    return ++count < most;
  });
}

const std::vector<uint32_t>* BalancedText::cuts(char delimiter, int64_t level) const {
  const auto found = positions_.find(keyOf(delimiterIndex(delimiter), level));
  return found == positions_.end() ? nullptr : &found->second;
}

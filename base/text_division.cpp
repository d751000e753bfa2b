#include "base/text_division.h"

#include <algorithm>
#include <climits>

#include "base/console.h"

bool devideDevide(const BalancedText& text, const TextPiece& piece, char first, char second,
                  std::vector<std::vector<TextPiece>>& lists, std::vector<TextPiece>* wholes) {
  std::vector<TextPiece> firstLevel;
  if (!text.divide(piece, first, firstLevel)) return false;
  for (TextPiece& part : firstLevel) {
    stripParentheses(part);
    if (wholes != nullptr) wholes->push_back(part);
    std::vector<TextPiece> secondLevel;
    if (!text.divide(part, second, secondLevel)) return false;
    lists.push_back(std::move(secondLevel));
  }
  return true;
}

void stripParentheses(TextPiece& piece) {
  const std::string_view text = piece.text;
  const std::size_t open = text.find_first_not_of(' ');
  const std::size_t close = text.find_last_not_of(' ');
  if (open == std::string_view::npos || text[open] != '(' || text[close] != ')') return;
  if (close < open + 2) return;
  piece.text = text.substr(open + 1, close - open - 1);
  piece.level += 1;
}

bool eraseSpace(std::string& text, std::vector<uint32_t>* origins) {
  // The pieces between double quotes alternate between outside and inside;
  // a leading quote makes the first piece an inside one. An inside piece
  // keeps the quotes around it; only the last can lack its closing one.
  const bool leadingQuote = !text.empty() && text[0] == '"';
  std::string result;
  result.reserve(text.size() + 2);
  std::vector<uint32_t> kept;
  if (origins != nullptr) kept.reserve(text.size() + 2);
  const auto keep = [&](std::size_t i) {
    if (origins != nullptr) kept.push_back((*origins)[i]);
  };
  std::size_t index = 0;
  const bool divided = forEachPiece(text, "\"", [&](std::size_t begin, std::size_t end) {
    if ((index++ % 2 == 0) == leadingQuote) {
      result += '"';
      result.append(text, begin, end - begin);
      result += '"';
      if (origins == nullptr) return;
      for (std::size_t i = begin - 1; i < end; ++i) keep(i);
      if (end < text.size()) {
        keep(end);
      } else {
        kept.push_back((*origins)[end - 1] + 1);
      }
    } else {
      for (std::size_t i = begin; i < end; ++i) {
        if (text[i] == ' ' || text[i] == '\t') continue;
        result += text[i];
        keep(i);
      }
    }
  });
  if (!divided) {
    printLine("Error in eraseSpace() : Unable to divide \"" + text + "\" by \"\"\"");
    return false;
  }
  text = std::move(result);
  if (origins != nullptr) *origins = std::move(kept);
  return true;
}

void eraseAll(std::string& text, char c, std::vector<uint32_t>* origins) {
  if (origins == nullptr) {
    text.erase(std::remove(text.begin(), text.end(), c), text.end());
    return;
  }
  std::size_t out = 0;
  for (std::size_t in = 0; in < text.size(); ++in) {
    if (text[in] == c) continue;
    (*origins)[out] = (*origins)[in];
    text[out++] = text[in];
  }
  text.resize(out);
  origins->resize(out);
}

bool isNumber(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int32_t readNumber(std::string_view text) {
  std::size_t i = 0;
  const auto isBlank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = (text[i] == '-');
    ++i;
  }
  const long long limit = negative ? -static_cast<long long>(INT32_MIN) : INT32_MAX;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value >= limit) {
      value = limit;
      break;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

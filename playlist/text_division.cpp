#include "playlist/text_division.h"

#include <algorithm>
#include <climits>

#include "playlist/console_output.h"

bool divide(const std::string& text, const std::string& delimiter, StringList& pieces,
            bool balanced) {
  return forEachPiece(text, delimiter, balanced, [&](std::size_t begin, std::size_t end) {
    pieces.emplace_back(text, begin, end - begin);
  });
}

void divideAlternately(const std::string& text, const std::string& first, const std::string& second,
                       StringList& pieces) {
  std::size_t p = text.find(first, 0);
  if (p == std::string::npos) {
    pieces.push_back(text);
    return;
  }
  if (p > 0) pieces.emplace_back(text, 0, p);
  std::size_t start = p + first.size();
  for (std::size_t k = 0;; ++k) {
    const std::string& sought = (k % 2 == 0) ? second : first;
    const std::size_t found = text.find(sought, start);
    if (found == std::string::npos) break;
    pieces.emplace_back(text, start, found - start);
    start = found + sought.size();
  }
  if (start < text.size()) pieces.emplace_back(text, start, std::string::npos);
}

bool devideDevide(const std::string& text, const std::string& first, const std::string& second,
                  std::vector<StringList>& lists) {
  StringList firstLevel;
  if (!divide(text, first, firstLevel, true)) return false;
  for (std::string& piece : firstLevel) {
    stripParentheses(piece);
    StringList secondLevel;
    if (!divide(piece, second, secondLevel, true)) return false;
    lists.push_back(std::move(secondLevel));
  }
  return true;
}

void stripParentheses(std::string& text) {
  const std::size_t open = text.find('(');
  const std::size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return;
  if (close < open + 2) return;
  const auto isSpace = [](char c) { return c == ' '; };
  if (!std::all_of(text.begin(), text.begin() + open, isSpace)) return;
  if (!std::all_of(text.begin() + close + 1, text.end(), isSpace)) return;
  text.erase(close);
  text.erase(0, open + 1);
}

bool eraseSpace(std::string& text) {
  // The pieces between double quotes alternate between outside and inside;
  // a leading quote makes the first piece an inside one.
  const bool leadingQuote = !text.empty() && text[0] == '"';
  std::string result;
  result.reserve(text.size() + 2);
  std::size_t index = 0;
  const bool divided = forEachPiece(text, "\"", false, [&](std::size_t begin, std::size_t end) {
    if ((index++ % 2 == 0) == leadingQuote) {
      result += '"';
      result.append(text, begin, end - begin);
      result += '"';
    } else {
      const std::size_t at = result.size();
      result.resize(at + (end - begin));
      char* out = &result[at];
      for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        *out = c;
        out += (c != ' ' && c != '\t');
      }
      result.resize(static_cast<std::size_t>(out - result.data()));
    }
  });
  if (!divided) {
    printLine("Error in eraseSpace() : Unable to divide \"" + text + "\" by \"\"\"");
    return false;
  }
  text = std::move(result);
  return true;
}

void eraseAll(std::string& text, const std::string& needle) {
  if (needle.empty()) return;
  if (needle.size() == 1) {
    text.erase(std::remove(text.begin(), text.end(), needle[0]), text.end());
    return;
  }
  // A longer needle loses only its first character per occurrence, searching
  // again from the beginning each time. No caller uses one.
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle)) {
    text.erase(p, 1);
  }
}

int countOf(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  int count = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) {
    ++count;
  }
  return count;
}

bool isNumber(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int32_t readNumber(const std::string& text) {
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

std::size_t parenthesisDepth(const std::string& text) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  for (char c : text) {
    if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')' && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

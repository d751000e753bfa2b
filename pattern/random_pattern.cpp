#include "pattern/random_pattern.h"

#include "pattern/stop_flag.h"
#include "playlist/text_division.h"

RandomPattern::RandomPattern(const std::string& text) : MultiPattern(text) {}

bool RandomPattern::growTree() {
  StringList sides;
  divide(text, "=", sides, true);
  // Classification admits exactly two sides.
  sides.resize(2);
  StringList weightTexts;
  divide(sides[1], ":", weightTexts, true);
  for (const std::string& weightText : weightTexts) {
    const int32_t weight = readNumber(weightText);
    if (weight == -1) return false;
    total += weight;
    weights.push_back(weight);
  }
  return growChildren(sides[0], ":");
}

void RandomPattern::play() {
  const int64_t r = random.range(0, total - 1);
  int64_t sum = 0;
  auto child = children.begin();
  auto weight = weights.begin();
  for (; child != children.end() && weight != weights.end() && !stopRequested();
       ++child, ++weight) {
    sum += *weight;
    if (r < sum) {
      (*child)->play();
      return;
    }
  }
}

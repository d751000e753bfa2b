#include "pattern/multi_pattern.h"

#include "pattern/stop_flag.h"
#include "playlist/console_output.h"
#include "playlist/text_division.h"

MultiPattern::MultiPattern(const std::string& text) : PatternObject() { this->text = text; }

MultiPattern::~MultiPattern() {
  for (PatternObject* child : children) delete child;
}

bool MultiPattern::growTree() {
  if (!growChildren(text, ",")) {
    printLine("MultiPattern::growTree Error");
    return false;
  }
  return true;
}

bool MultiPattern::growChildren(const std::string& text, const std::string& delimiter) {
  // Every child is made before any grows.
  forEachPiece(text, delimiter, true, [&](std::size_t begin, std::size_t end) {
    children.push_back(new PatternObject(text.substr(begin, end - begin)));
  });
  for (PatternObject* child : children) {
    if (!child->growTree()) return false;
  }
  return true;
}

void MultiPattern::play() {
  for (PatternObject* child : children) {
    if (stopRequested()) return;
    child->play();
  }
}

void MultiPattern::setPosition(int16_t angle, uint8_t distance) {
  for (PatternObject* child : children) child->setPosition(angle, distance);
}

#include "pattern/multi_pattern.h"

#include "pattern/stop_flag.h"
#include "playlist/console_output.h"

MultiPattern::MultiPattern(const std::string& text) : PatternObject() { this->text = text; }

MultiPattern::~MultiPattern() {
  for (PatternObject* child : children) delete child;
}

bool MultiPattern::growTree() {
  StringList pieces;
  divide(text, ",", pieces, true);
  if (!growChildren(pieces)) {
    printLine("MultiPattern::growTree Error");
    return false;
  }
  return true;
}

bool MultiPattern::growChildren(const StringList& pieces) {
  children.reserve(pieces.size());
  for (const std::string& piece : pieces) children.push_back(new PatternObject(piece));
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

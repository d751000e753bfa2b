#include "pattern/wait.h"

#include "pattern/pause_clock.h"
#include "playlist/text_division.h"

Wait::Wait(const std::string& text) : PatternObject() { this->text = text; }

bool Wait::growTree() {
  duration = static_cast<uint32_t>(readNumber(text));
  return true;
}

void Wait::play() { pauseFor(duration); }

void Wait::setPosition(int16_t, uint8_t) {}

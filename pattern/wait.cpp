#include "pattern/wait.h"

#include <SDL.h>

#include "pattern/stop_flag.h"
#include "playlist/text_division.h"

Wait::Wait(const std::string& text) : PatternObject() { this->text = text; }

bool Wait::growTree() {
  duration = static_cast<uint32_t>(readNumber(text));
  return true;
}

void Wait::play() { pause(duration); }

void Wait::setPosition(int16_t, uint8_t) {}

void Wait::pause(uint32_t ms) {
  const uint32_t slices = ms / 500;
  const uint32_t rest = ms % 500;
  for (uint32_t i = 0; i < slices; ++i) {
    if (stopRequested()) return;
    SDL_Delay(500);
  }
  SDL_Delay(rest);
}

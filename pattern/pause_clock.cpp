#include "pattern/pause_clock.h"

#include <SDL.h>

#include "pattern/stop_flag.h"

namespace {

PauseClock* installed = nullptr;

void sleepInSlices(uint32_t ms) {
  const uint32_t slices = ms / 500;
  const uint32_t rest = ms % 500;
  for (uint32_t i = 0; i < slices; ++i) {
    if (stopRequested()) return;
    SDL_Delay(500);
  }
  SDL_Delay(rest);
}

}  // namespace

void installPauseClock(PauseClock* clock) { installed = clock; }

void pauseFor(uint32_t ms) {
  if (installed != nullptr) {
    installed->pause(ms);
  } else {
    sleepInSlices(ms);
  }
}

void notifyRepeated() {
  if (installed != nullptr) installed->repeated();
}

void releasePausedPlayers() {
  if (installed != nullptr) installed->release();
}

#include "pattern/random_wait.h"

#include <utility>

#include "pattern/pause_clock.h"
#include "pattern/stop_flag.h"
#include "playlist/text_division.h"

RandomWait::RandomWait(const std::string& text) : Wait(text) {}

bool RandomWait::growTree() {
  // Classification admits only two digit strings around "to".
  std::string bounds[2];
  std::size_t count = 0;
  forEachPiece(text, "to", false, [&](std::size_t begin, std::size_t end) {
    if (count < 2) bounds[count++] = text.substr(begin, end - begin);
  });
  minimum = readNumber(bounds[0]);
  maximum = readNumber(bounds[1]);
  if (maximum < minimum) std::swap(minimum, maximum);
  return true;
}

void RandomWait::play() {
  duration = static_cast<uint32_t>(random.range(minimum, maximum));
  if (stopRequested()) return;
  pauseFor(duration);
}

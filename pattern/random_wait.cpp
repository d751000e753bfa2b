#include "pattern/random_wait.h"

#include <utility>

#include "base/text_division.h"
#include "pattern/pattern_visitor.h"
#include "pattern/song_player.h"

bool RandomWait::growTree(GrowContext&) {
  // Classification admits only two digit strings around "to".
  std::string_view bounds[2];
  std::size_t count = 0;
  forEachPiece(text.text, "to", [&](std::size_t begin, std::size_t end) {
    if (count < 2) bounds[count++] = text.text.substr(begin, end - begin);
  });
  minimum = readNumber(bounds[0]);
  maximum = readNumber(bounds[1]);
  reversed = maximum < minimum;
  if (reversed) std::swap(minimum, maximum);
  return true;
}

void RandomWait::step(SongPlayer& player, uint32_t&) const {
  const auto drawn = static_cast<uint32_t>(player.random().range(minimum, maximum));
  player.leave();
  if (!player.stopped()) player.pause(drawn);
}

void RandomWait::accept(PatternVisitor& visitor) { visitor.randomWait(*this); }

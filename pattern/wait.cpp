#include "pattern/wait.h"

#include "base/text_division.h"
#include "pattern/pattern_visitor.h"
#include "pattern/song_player.h"

bool Wait::growTree(GrowContext&) {
  duration = static_cast<uint32_t>(readNumber(text.text));
  return true;
}

void Wait::step(SongPlayer& player, uint32_t&) const {
  player.leave();
  player.pause(duration);
}

void Wait::accept(PatternVisitor& visitor) { visitor.wait(*this); }

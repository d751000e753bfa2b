#include "pattern/multi_pattern.h"

#include "pattern/pattern_visitor.h"
#include "pattern/song_player.h"

MultiPattern::~MultiPattern() {
  for (PatternObject* child : children) delete child;
}

bool MultiPattern::growTree(GrowContext& context) {
  if (!growChildren(context, text, ',')) {
    context.reporter.say("MultiPattern::growTree Error");
    return false;
  }
  return true;
}

bool MultiPattern::growChildren(GrowContext& context, const TextPiece& piece, char delimiter) {
  // Every child is made before any grows.
  context.text.forEachPiece(piece, delimiter, [&](const TextPiece& part) {
    children.push_back(new PatternObject(part));
    return true;
  });
  bool grown = true;
  for (PatternObject* child : children) {
    if (child->growTree(context)) continue;
    grown = false;
    if (!context.keepGoing()) break;
  }
  return grown;
}

void MultiPattern::step(SongPlayer& player, uint32_t& next) const {
  if (next < children.size() && !player.stopped()) {
    // next is moved on before enter() grows the stack it lives in.
    player.enter(children[next++]);
  } else {
    player.leave();
  }
}

void MultiPattern::accept(PatternVisitor& visitor) { visitor.sequence(*this); }

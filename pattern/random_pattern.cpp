#include "pattern/random_pattern.h"

#include "base/text_division.h"
#include "pattern/pattern_visitor.h"
#include "pattern/song_player.h"

bool RandomPattern::growTree(GrowContext& context) {
  // Classification admits exactly two sides.
  std::vector<TextPiece> sides;
  context.text.divide(text, '=', sides, 2);
  std::vector<TextPiece> weightTexts;
  context.text.divide(sides[1], ':', weightTexts);
  bool refused = false;
  for (const TextPiece& weightText : weightTexts) {
    const int32_t weight = readNumber(weightText.text);
    if (weight == -1) {
      context.reporter.report({ProblemReporter::Kind::kError, weightText.text, "a weight of -1",
                               "velumora refuses it and the whole song with it"});
      if (!context.keepGoing()) return false;
      refused = true;
    }
    total += weight;
    weights.push_back(weight);
  }
  return growChildren(context, sides[0], ':') && !refused;
}

void RandomPattern::step(SongPlayer& player, uint32_t&) const {
  const int64_t r = player.random().range(0, total - 1);
  player.leave();
  int64_t sum = 0;
  for (std::size_t i = 0; i < children.size() && i < weights.size() && !player.stopped(); ++i) {
    sum += weights[i];
    if (r < sum) {
      player.enter(children[i]);
      return;
    }
  }
}

void RandomPattern::accept(PatternVisitor& visitor) { visitor.choice(*this); }

#include "pattern/pattern_object.h"

#include <algorithm>
#include <string>

#include "base/text_division.h"
#include "pattern/multi_pattern.h"
#include "pattern/named_pattern_table.h"
#include "pattern/note.h"
#include "pattern/pattern_visitor.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/song_player.h"
#include "pattern/wait.h"

namespace {

// Two digit strings around one "to", as dividing at every "to" finds them.
bool isRandomPause(std::string_view text) {
  std::string_view sides[2];
  std::size_t count = 0;
  const bool divided = forEachPiece(text, "to", [&](std::size_t begin, std::size_t end) {
    if (count < 2) sides[count] = text.substr(begin, end - begin);
    return ++count < 3;
  });
  return divided && count == 2 && isNumber(sides[0]) && isNumber(sides[1]);
}

// A hint for a text that names no pattern, or empty.
std::string unknownNameNote(std::string_view text) {
  if (text.find_first_of("()") != std::string_view::npos) {
    return "parentheses must balance, and only one pair around a pattern is taken off";
  }
  if (text.find('"') != std::string_view::npos) return "a note is one file name in double quotes";
  if (text.find('.') != std::string_view::npos) return "a file name stands in double quotes";
  const std::size_t digits = text.find_first_not_of("0123456789");
  if (digits > 0 && digits != std::string_view::npos) {
    if (text[digits] == '-' || text[digits] == '~') {
      return "a random pause is written as 300 to 900";
    }
    return "a pause is a number of milliseconds, with no unit";
  }
  return "";
}

}  // namespace

PatternObject::~PatternObject() {
  if (body != nullptr && ownsBody) delete body;
}

void reportTooDeep(ProblemReporter& reporter, std::string_view at) {
  const std::string levels = std::to_string(kMaxPatternDepth) + " levels";
  reporter.report({ProblemReporter::Kind::kError, at, "pattern nested deeper than " + levels,
                   "each pattern inside another is a level, and so is each name it refers to"},
                  {"can't understand as Pattern Object : nested deeper than " + levels});
}

bool PatternObject::growTree(GrowContext& context) {
  stripParentheses(text);
  if (context.depth >= kMaxPatternDepth) {
    reportTooDeep(context.reporter, text.text);
    context.abandoned = true;
    return false;
  }
  PatternObject* made = nullptr;
  switch (classify(context.text, text)) {
    case kNoteKind:
      made = new Note(text);
      break;
    case kWaitKind:
      made = new Wait(text);
      break;
    case kRandomWaitKind:
      made = new RandomWait(text);
      break;
    case kMultiPatternKind:
      made = new MultiPattern(text);
      break;
    case kRandomPatternKind:
      made = new RandomPattern(text);
      break;
    default:
      body = context.names.lookup(text.text);
      if (body == nullptr) {
        // The player takes one pair of parentheses off a pattern; a second
        // pair, added to be safe, leaves a name that nothing has.
        const bool wrapped =
            text.text.size() > 1 && text.text.front() == '(' && text.text.back() == ')';
        const std::string line =
            "can't understand as Pattern Object \"" + std::string(text.text) + "\"";
        if (wrapped) {
          context.reporter.report(
              {ProblemReporter::Kind::kError, text.text,
               "a pattern in two pairs of parentheses is read as a name", "remove one pair"},
              {line});
        } else {
          context.reporter.report({ProblemReporter::Kind::kError, text.text,
                                   "no pattern is named \"" + std::string(text.text) + "\"",
                                   unknownNameNote(text.text)},
                                  {line});
        }
        return false;
      }
      ownsBody = false;
      return true;
  }
  body = made;
  ownsBody = true;
  ++context.depth;
  const bool grown = body->growTree(context);
  --context.depth;
  return grown;
}

void PatternObject::accept(PatternVisitor& visitor) {
  if (body == nullptr) {
    visitor.ungrown(*this);
  } else if (!ownsBody) {
    visitor.reference(*this);
  }
}

// Only notes sound somewhere; the song hands its position to each of its
// leaves (Song::setPosition()).
void PatternObject::setPosition(int16_t, uint8_t) {}

void PatternObject::step(SongPlayer& player, uint32_t&) const {
  player.leave();
  if (body != nullptr && !player.stopped()) player.enter(body);
}

int classify(const BalancedText& text, const TextPiece& piece) {
  // "," binds loosest, then "="; only then are the random pause, the quoted
  // file name and the number considered, and a name is the fallback. The
  // last three look at the whole text, but only leaves get that far.
  TextPiece pieces[2];
  std::size_t count = 0;
  if (text.count(piece, ',', 2, count, pieces) && count > 1) return kMultiPatternKind;
  if (text.count(piece, '=', 3, count, pieces) && count == 2) {
    // Dividing a side at ":" fails only when the side is ":" alone.
    const auto lone = [](const TextPiece& side) { return side.text == ":"; };
    if (!lone(pieces[0]) && !lone(pieces[1])) return kRandomPatternKind;
  }
  if (isRandomPause(piece.text)) return kRandomWaitKind;
  if (std::count(piece.text.begin(), piece.text.end(), '"') == 2) return kNoteKind;
  if (isNumber(piece.text)) return kWaitKind;
  return kReferenceKind;
}

#include "pattern/pattern_object.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "pattern/multi_pattern.h"
#include "pattern/named_pattern_table.h"
#include "pattern/note.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/stop_flag.h"
#include "pattern/wait.h"
#include "playlist/console_output.h"
#include "playlist/text_division.h"

namespace {

// How many proxies are growing, one inside the other, on the main thread.
std::size_t growthDepth = 0;

struct PieceSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Counts the pieces that divide() would give, up to three (enough to tell
// one, two and more apart), keeping the first two.
std::size_t spanPieces(const std::string& text, const std::string& delimiter, bool balanced,
                       PieceSpan spans[2], bool* divided) {
  std::size_t count = 0;
  *divided = forEachPiece(text, delimiter, balanced, [&](std::size_t begin, std::size_t end) {
    if (count < 2) spans[count] = PieceSpan{begin, end};
    return ++count < 3;
  });
  return count;
}

bool isDigits(const std::string& text, const PieceSpan& span) {
  return std::all_of(text.begin() + span.begin, text.begin() + span.end,
                     [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

PatternObject::PatternObject(std::string text) : text(std::move(text)) {}

PatternObject::~PatternObject() {
  if (body != nullptr && ownsBody) delete body;
}

void reportTooDeep() {
  printLine("can't understand as Pattern Object : nested deeper than " +
            std::to_string(kMaxPatternDepth) + " levels");
}

bool PatternObject::growTree() {
  stripParentheses(text);
  // Checking the whole text once, at the top, refuses a deep text in linear
  // time instead of dividing it anew at every level.
  if (growthDepth >= kMaxPatternDepth ||
      (growthDepth == 0 && parenthesisDepth(text) >= kMaxPatternDepth)) {
    reportTooDeep();
    return false;
  }
  PatternObject* made = nullptr;
  switch (classify(text)) {
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
      body = lookupNamedPattern(text);
      if (body == nullptr) {
        printLine("can't understand as Pattern Object \"" + text + "\"");
        return false;
      }
      ownsBody = false;
      return true;
  }
  body = made;
  ownsBody = true;
  ++growthDepth;
  const bool grown = body->growTree();
  --growthDepth;
  return grown;
}

void PatternObject::play() {
  if (body != nullptr && !stopRequested()) body->play();
}

void PatternObject::setPosition(int16_t angle, uint8_t distance) {
  if (body != nullptr) body->setPosition(angle, distance);
}

int classify(const std::string& text) {
  // A look for the delimiters first spares the tests that cannot hold: a
  // text without "," is no sequence, without "=" no choice, without "t" no
  // random pause. memchr keeps this cheap on long texts.
  const auto holds = [&](char c) { return std::memchr(text.data(), c, text.size()) != nullptr; };
  if (holds(',') && isSequence(text)) return kMultiPatternKind;
  if (holds('=') && isWeightedChoice(text)) return kRandomPatternKind;
  if (holds('t') && isRandomPause(text)) return kRandomWaitKind;
  if (std::count(text.begin(), text.end(), '"') == 2) return kNoteKind;
  if (isNumber(text)) return kWaitKind;
  return kReferenceKind;
}

bool isSequence(const std::string& text) {
  PieceSpan spans[2];
  bool divided = false;
  const std::size_t count = spanPieces(text, ",", true, spans, &divided);
  return divided && count > 1;
}

bool isWeightedChoice(const std::string& text) {
  PieceSpan spans[2];
  bool divided = false;
  if (spanPieces(text, "=", true, spans, &divided) != 2 || !divided) return false;
  // Dividing a side at ":" fails only when the side is ":" alone.
  for (const PieceSpan& side : spans) {
    if (side.end - side.begin == 1 && text[side.begin] == ':') return false;
  }
  return true;
}

bool isRandomPause(const std::string& text) {
  PieceSpan spans[2];
  bool divided = false;
  if (spanPieces(text, "to", false, spans, &divided) != 2 || !divided) return false;
  return isDigits(text, spans[0]) && isDigits(text, spans[1]);
}

bool isNote(const std::string& text) { return countOf(text, "\"") == 2; }

PatternObject* lookupNamedPattern(const std::string& name) {
  return currentNamedPatterns.lookup(name);
}

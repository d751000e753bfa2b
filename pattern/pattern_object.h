#ifndef VELUMORA_PATTERN_PATTERN_OBJECT_H_
#define VELUMORA_PATTERN_PATTERN_OBJECT_H_

// The node of every pattern tree, and the proxy made for every piece of
// pattern text. A proxy's growTree() strips and classifies its text, then
// creates and grows the concrete object it stands for (its body), or attaches
// the named pattern of the current song that the text names. From then on the
// proxy forwards play() and setPosition() to its body.
//
// growTree() and setPosition() run on the main thread during start-up;
// play() runs on the player thread of the one song that owns the tree.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pattern/pattern_pool.h"

class PatternObject {
 public:
  explicit PatternObject(std::string text = std::string());
  PatternObject(const PatternObject&) = delete;
  PatternObject& operator=(const PatternObject&) = delete;
  virtual ~PatternObject();

  // Pattern objects come from the pattern pool.
  static void* operator new(std::size_t size) { return PatternPool::allocate(size); }
  static void operator delete(void* object, std::size_t size) noexcept {
    PatternPool::release(object, size);
  }

  virtual bool growTree();
  virtual void play();
  virtual void setPosition(int16_t angle, uint8_t distance);
  // The patterns this one holds, for walks over a grown tree; a proxy's body
  // is not among them.
  virtual const std::vector<PatternObject*>* subpatterns() const { return nullptr; }

  // For a proxy: what its text stands for; null before growth and after a
  // failed lookup. Always null in the concrete kinds.
  PatternObject* body = nullptr;
  std::string text;
  // False when body is a named pattern, which its song's table owns.
  bool ownsBody = true;
};

// Kind codes of classify().
enum PatternKind {
  kNoteKind = 1,
  kWaitKind = 2,
  kRandomWaitKind = 3,
  kMultiPatternKind = 4,
  kRandomPatternKind = 5,
  kReferenceKind = 6,
};

int classify(const std::string& text);
bool isSequence(const std::string& text);
bool isWeightedChoice(const std::string& text);
bool isRandomPause(const std::string& text);
bool isNote(const std::string& text);

// The pattern of the first entry of the current named-pattern table whose
// name equals name, or null.
PatternObject* lookupNamedPattern(const std::string& name);

// No path from a song's root through its tree may hold more pattern objects
// than this: deeper playlists are refused when they grow, so that growing,
// positioning, playing and destroying never exhaust a thread's stack.
constexpr std::size_t kMaxPatternDepth = 1000;

// The line that refuses a pattern nested deeper than kMaxPatternDepth.
void reportTooDeep();

#endif  // VELUMORA_PATTERN_PATTERN_OBJECT_H_

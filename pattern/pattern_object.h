#ifndef VELUMORA_PATTERN_PATTERN_OBJECT_H_
#define VELUMORA_PATTERN_PATTERN_OBJECT_H_

// The node of every pattern tree, and the proxy made for every piece of
// pattern text. A proxy's growTree() strips and classifies its text, then
// creates and grows the concrete object it stands for (its body), or attaches
// the named pattern of its song that the text names. From then on the proxy
// stands for its body. Texts are views into the song's cleaned playlist text.
//
// A grown tree is never changed again: a SongPlayer walks it, keeping the walk
// in itself, by calling step() on the node on top of its stack. growTree()
// and setPosition() run on the main thread during start-up; step() on the
// thread that plays the song.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/balanced_text.h"
#include "base/problem_reporter.h"

class NamedPatternTable;
class PatternVisitor;
class SampleCache;
class SongPlayer;

// What growing a tree needs: the text the pieces are views into, the names
// of the song, the samples, and how many proxies are growing one inside the
// other. The node that fails tells the reporter, once; with one that keeps
// going (the checker's), growth goes on past a failure to find more, until a
// pattern too deep abandons the song.
struct GrowContext {
  const BalancedText& text;
  const NamedPatternTable& names;
  SampleCache& samples;
  ProblemReporter& reporter;
  std::size_t depth = 0;
  bool abandoned = false;

  bool keepGoing() const { return reporter.keepGoing() && !abandoned; }
};

class PatternObject {
 public:
  explicit PatternObject(TextPiece text = TextPiece()) : text(text) {}
  PatternObject(const PatternObject&) = delete;
  PatternObject& operator=(const PatternObject&) = delete;
  virtual ~PatternObject();

  virtual bool growTree(GrowContext& context);
  virtual void setPosition(int16_t angle, uint8_t distance);
  // One step of a walk, with this node on top of the player's stack; next is
  // this node's own place in the walk (0 when it is entered).
  virtual void step(SongPlayer& player, uint32_t& next) const;
  // Calls the visitor's method for this kind of node (walkPatterns()).
  virtual void accept(PatternVisitor& visitor);
  // The patterns this one holds, for walks over a grown tree; a proxy's body
  // is not among them.
  virtual const std::vector<PatternObject*>* subpatterns() const { return nullptr; }

  // For a proxy: what its text stands for; null before growth and after a
  // failed lookup. Always null in the concrete kinds.
  PatternObject* body = nullptr;
  TextPiece text;
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

int classify(const BalancedText& text, const TextPiece& piece);

// No path from a song's root through its tree may hold more proxies than
// this: deeper patterns are refused as they grow, so that growing,
// positioning, playing and destroying never exhaust a thread's stack.
constexpr std::size_t kMaxPatternDepth = 1000;

// Refuses a pattern nested deeper than kMaxPatternDepth, at the pattern.
void reportTooDeep(ProblemReporter& reporter, std::string_view at);

#endif  // VELUMORA_PATTERN_PATTERN_OBJECT_H_

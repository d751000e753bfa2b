#ifndef VELUMORA_PATTERN_PATTERN_VISITOR_H_
#define VELUMORA_PATTERN_PATTERN_VISITOR_H_

// The one walk over a grown pattern tree, for everything that reads a tree
// once it has grown: a song handing its position to its notes, the checker's
// tree and its look for likely mistakes, a reload comparing a song's
// samples. walkPatterns() calls the visitor once per node, parents before
// their children and children in the order the song plays them, without
// recursion, so that a tree as deep as growth allows cannot exhaust a
// thread's stack. A proxy that stands for its body (it owns it) is passed
// over; one that stands for a named pattern is a reference. Main thread
// only, on trees no player walks, or from the thread that plays the song.

#include "pattern/pattern_object.h"

class MultiPattern;
class Note;
class RandomPattern;
class RandomWait;
class Wait;

class PatternVisitor {
 public:
  virtual ~PatternVisitor() = default;

  virtual void note(Note&) {}
  virtual void wait(Wait&) {}
  virtual void randomWait(RandomWait&) {}
  // A sequence or a choice: its children follow, then leave() with it.
  virtual void sequence(MultiPattern&) {}
  virtual void choice(RandomPattern&) {}
  virtual void leave(PatternObject&) {}
  // A name of a pattern of the song's table.
  virtual void reference(PatternObject&) {}
  // A proxy that did not grow (its song failed).
  virtual void ungrown(PatternObject&) {}
};

enum class References {
  kNamed,     // a reference is only named: each tree is walked on its own
  kFollowed,  // the walk goes on into what a reference names, the first time
};

void walkPatterns(PatternObject* root, PatternVisitor& visitor, References references);

#endif  // VELUMORA_PATTERN_PATTERN_VISITOR_H_

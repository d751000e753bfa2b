#ifndef VELUMORA_PATTERN_SONG_H_
#define VELUMORA_PATTERN_SONG_H_

// A song: its main pattern (the inherited pattern), how many times it plays,
// the name its player prints, and its table of named patterns. The song owns
// the main pattern and every entry. It is filled and grown on the main
// thread during start-up; afterwards its player thread only reads it, and it
// is destroyed after that thread has ended.

#include <cstdint>
#include <string>
#include <vector>

#include "pattern/named_pattern.h"

class Song : public NamedPattern {
 public:
  Song() = default;
  ~Song();

  // Appends an entry; a name already in the table is added again.
  void addNamedPattern(const std::string& name, PatternObject* pattern);

  // Publishes the table as the current named-pattern table, grows every
  // entry in order, then the main pattern. A song without a main pattern,
  // or whose patterns refer to themselves in a cycle, or whose tree through
  // its references is deeper than kMaxPatternDepth, fails with false.
  bool growTree();

  // Hands the position to every Note that the grown main pattern reaches,
  // through its references too, visiting each node once.
  void setPosition(int16_t angle, uint8_t distance);

  uint32_t loops = 1;
  std::string songName;
  // The position handed to the main pattern; kept for reports.
  int16_t angle = 0;
  uint8_t distance = 100;
  std::vector<NamedPattern*> namedPatterns;
};

#endif  // VELUMORA_PATTERN_SONG_H_

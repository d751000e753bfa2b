#ifndef VELUMORA_PATTERN_SONG_H_
#define VELUMORA_PATTERN_SONG_H_

// A song: its main pattern (the inherited pattern), how many times it plays,
// the name its player prints, where it sounds, and its table of named
// patterns. The song owns the main pattern and every entry, and shares the
// cleaned text its patterns are views into. It is filled and grown on the
// main thread during start-up; afterwards it is only read, by the thread that
// plays it, and destroyed after that has ended.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/balanced_text.h"
#include "base/problem_reporter.h"
#include "pattern/named_pattern.h"

class SampleCache;

// The loop count that makes a song repeat until shutdown.
constexpr uint32_t kInfiniteLoops = 1000;

class Song : public NamedPattern {
 public:
  explicit Song(std::shared_ptr<const BalancedText> source) : source(std::move(source)) {}
  ~Song();

  // Appends an entry; a name already in the table is added again.
  void addNamedPattern(std::string_view name, PatternObject* pattern);

  // Grows every entry in order, resolving names in this song's table, then
  // the main pattern. A song without a main pattern, or whose patterns refer
  // to themselves in a cycle, or whose tree through its references holds more
  // than kMaxPatternDepth proxies on one path, fails with false. Each
  // failure is told to reporter; with one that keeps going, every entry is
  // grown.
  bool growTree(SampleCache& samples, ProblemReporter& reporter);

  // Hands the position to every Note that the grown main pattern reaches,
  // through its references too, visiting each node once.
  void setPosition(int16_t angle, uint8_t distance);

  uint32_t loops = 1;
  std::string_view songName;
  // The statement's body as written (cleaned): two songs of one name and
  // body play alike, when their samples are the same.
  TextPiece body;
  // The position handed to the main pattern; kept for reports.
  int16_t angle = 0;
  uint8_t distance = 100;
  std::vector<std::unique_ptr<NamedPattern>> namedPatterns;
  std::shared_ptr<const BalancedText> source;
};

#endif  // VELUMORA_PATTERN_SONG_H_

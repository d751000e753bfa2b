#ifndef VELUMORA_PATTERN_NAMED_PATTERN_H_
#define VELUMORA_PATTERN_NAMED_PATTERN_H_

// One entry of a song's named-pattern table: a name and the pattern it
// stands for, which the entry owns. Patterns that refer to the name hold the
// pattern without owning it.

#include <string_view>

class PatternObject;

class NamedPattern {
 public:
  NamedPattern() = default;
  NamedPattern(std::string_view name, PatternObject* pattern) : pattern(pattern), name(name) {}
  NamedPattern(const NamedPattern&) = delete;
  NamedPattern& operator=(const NamedPattern&) = delete;
  ~NamedPattern();

  PatternObject* pattern = nullptr;
  // A view into the song's text.
  std::string_view name;
};

#endif  // VELUMORA_PATTERN_NAMED_PATTERN_H_

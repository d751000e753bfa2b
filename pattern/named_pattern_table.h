#ifndef VELUMORA_PATTERN_NAMED_PATTERN_TABLE_H_
#define VELUMORA_PATTERN_NAMED_PATTERN_TABLE_H_

// The current named-pattern table: the entries of the song that grew last,
// in their order, not owned. Name references are resolved in it while a song
// grows. A name finds the first entry that carries it, in constant time.
// Written and read only on the main thread during start-up.

#include <string>
#include <unordered_map>
#include <vector>

class NamedPattern;
class PatternObject;

class NamedPatternTable {
 public:
  // Replaces the content by entries, in the same order.
  void publish(const std::vector<NamedPattern*>& entries);
  PatternObject* lookup(const std::string& name) const;
  const std::vector<NamedPattern*>& entries() const { return entries_; }

 private:
  std::vector<NamedPattern*> entries_;
  std::unordered_map<std::string, NamedPattern*> firstByName_;
};

extern NamedPatternTable currentNamedPatterns;

#endif  // VELUMORA_PATTERN_NAMED_PATTERN_TABLE_H_

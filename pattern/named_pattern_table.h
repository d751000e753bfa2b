#ifndef VELUMORA_PATTERN_NAMED_PATTERN_TABLE_H_
#define VELUMORA_PATTERN_NAMED_PATTERN_TABLE_H_

// The named patterns of the song that is growing, in which name references
// are resolved: a name finds the first entry that carries it, in constant
// time. Made by the song for its growth; does not own the entries.

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

class NamedPattern;
class PatternObject;

class NamedPatternTable {
 public:
  explicit NamedPatternTable(const std::vector<std::unique_ptr<NamedPattern>>& entries);
  PatternObject* lookup(std::string_view name) const;

 private:
  std::unordered_map<std::string_view, const NamedPattern*> firstByName_;
};

#endif  // VELUMORA_PATTERN_NAMED_PATTERN_TABLE_H_

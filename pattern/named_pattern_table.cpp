#include "pattern/named_pattern_table.h"

#include "pattern/named_pattern.h"

NamedPatternTable currentNamedPatterns;

void NamedPatternTable::publish(const std::vector<NamedPattern*>& entries) {
  entries_ = entries;
  firstByName_.clear();
  for (NamedPattern* entry : entries_) firstByName_.emplace(entry->name, entry);
}

PatternObject* NamedPatternTable::lookup(const std::string& name) const {
  const auto found = firstByName_.find(name);
  return found == firstByName_.end() ? nullptr : found->second->pattern;
}

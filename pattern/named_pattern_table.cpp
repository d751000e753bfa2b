#include "pattern/named_pattern_table.h"

#include "pattern/named_pattern.h"

NamedPatternTable::NamedPatternTable(const std::vector<std::unique_ptr<NamedPattern>>& entries) {
  firstByName_.reserve(entries.size());
  for (const auto& entry : entries) firstByName_.emplace(entry->name, entry.get());
}

PatternObject* NamedPatternTable::lookup(std::string_view name) const {
  const auto found = firstByName_.find(name);
  return found == firstByName_.end() ? nullptr : found->second->pattern;
}

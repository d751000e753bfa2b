#include "audio/sample_cache.h"

SampleCache sampleCache;

Mix_Chunk* SampleCache::lookup(const std::string& name) const {
  const auto found = index_.find(name);
  return found == index_.end() ? nullptr : entries[found->second].sample;
}

bool SampleCache::add(Mix_Chunk* sample, const std::string& name) {
  if (lookup(name) != nullptr) return false;
  index_[name] = entries.size();
  entries.push_back(SampleCacheEntry{name, sample});
  return true;
}

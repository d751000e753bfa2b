#ifndef VELUMORA_AUDIO_SAMPLE_CACHE_H_
#define VELUMORA_AUDIO_SAMPLE_CACHE_H_

// Remembers every sample loaded so far under the exact file name it was
// loaded from, so that each file is decoded once per run. It never owns the
// samples: the Sound that loaded one frees it. Filled and read only on the
// main thread during start-up; never emptied.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

struct Mix_Chunk;

struct SampleCacheEntry {
  std::string name;
  Mix_Chunk* sample;
};

class SampleCache {
 public:
  // The sample of the first entry with this name, or null. Constant time.
  Mix_Chunk* lookup(const std::string& name) const;
  // Appends (name, sample) unless the name is already there.
  bool add(Mix_Chunk* sample, const std::string& name);

  // Entries in the order of first loading.
  std::vector<SampleCacheEntry> entries;

 private:
  std::unordered_map<std::string, std::size_t> index_;
};

extern SampleCache sampleCache;

#endif  // VELUMORA_AUDIO_SAMPLE_CACHE_H_

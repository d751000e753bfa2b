#ifndef VELUMORA_AUDIO_SAMPLE_CACHE_H_
#define VELUMORA_AUDIO_SAMPLE_CACHE_H_

// Every sample a run has loaded, by the file it is (device and inode), so
// that each file is decoded once however many Notes name it and however its
// name is spelt; a name met before is found without asking the file system. Samples are shared: they live while a Sound or the cache
// holds them. Used on the main thread only.

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "audio/mixer.h"

class SampleCache {
 public:
  explicit SampleCache(Mixer& mixer) : mixer_(mixer) {}

  // The sample of the file at path, decoded on first use; null with the
  // reason in error when it cannot be loaded.
  std::shared_ptr<const Sample> load(const std::string& path, std::string& error);

  // Forgets every sample; those still held by Sounds live on.
  void clear() {
    samples_.clear();
    byName_.clear();
  }
  // The files loaded, for those that must not be overwritten.
  template <typename Visit>
  void forEachFile(Visit visit) const {
    for (const auto& entry : samples_) visit(entry.first.first, entry.first.second);
  }

 private:
  Mixer& mixer_;
  std::map<std::pair<dev_t, ino_t>, std::shared_ptr<const Sample>> samples_;
  std::unordered_map<std::string, std::shared_ptr<const Sample>> byName_;
};

#endif  // VELUMORA_AUDIO_SAMPLE_CACHE_H_

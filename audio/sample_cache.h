#ifndef VELUMORA_AUDIO_SAMPLE_CACHE_H_
#define VELUMORA_AUDIO_SAMPLE_CACHE_H_

// Every sample a run has loaded, by the file it is (device and inode), so
// that each file is decoded once however many Notes name it and however its
// name is spelt; a name met before is found without asking the file system.
// Samples are shared: they live while a Sound or the cache holds them. Used
// on the main thread only.

#include <sys/types.h>

#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "audio/mixer.h"

class SampleCache {
 public:
  explicit SampleCache(Mixer& mixer) : mixer_(mixer) {}

  // The sample of the file at path, decoded on first use; null with the
  // reason in error when it cannot be loaded.
  std::shared_ptr<const Sample> load(const std::string& path, std::string& error);

  // Forgets the samples whose files have changed on disk (or gone), handing
  // them to retired, so that they are decoded again when next named.
  void forgetChanged(std::vector<std::shared_ptr<const Sample>>& retired);

  // Forgets every sample; those still held by Sounds live on.
  void clear();
  // The names loaded, and the files they are.
  template <typename Visit>
  void forEachFile(Visit visit) const {
    for (const auto& [name, entry] : byName_) visit(name, entry.device, entry.inode);
  }

 private:
  struct Entry {
    std::shared_ptr<const Sample> sample;
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
  };

  Mixer& mixer_;
  std::map<std::pair<dev_t, ino_t>, Entry> samples_;
  std::unordered_map<std::string, Entry> byName_;
};

#endif  // VELUMORA_AUDIO_SAMPLE_CACHE_H_

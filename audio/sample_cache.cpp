#include "audio/sample_cache.h"

#include <sys/stat.h>

#include "base/signals.h"

std::shared_ptr<const Sample> SampleCache::load(const std::string& path, std::string& error) {
  // Loading a thousand samples takes seconds; a signal ends start-up at once.
  if (signalArrived(0)) {
    error = "start-up interrupted";
    return nullptr;
  }
  const auto named = byName_.find(path);
  if (named != byName_.end()) return named->second;
  struct stat info;
  const bool identified = stat(path.c_str(), &info) == 0;
  if (identified) {
    const auto found = samples_.find({info.st_dev, info.st_ino});
    if (found != samples_.end()) return byName_[path] = found->second;
  }
  std::shared_ptr<const Sample> sample;
  if (!mixer_.decode(path, sample, error)) return nullptr;
  if (identified) {
    samples_.emplace(std::make_pair(info.st_dev, info.st_ino), sample);
    byName_.emplace(path, sample);
  }
  return sample;
}

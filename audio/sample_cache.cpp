#include "audio/sample_cache.h"

#include <sys/stat.h>

std::shared_ptr<const Sample> SampleCache::load(const std::string& path, std::string& error) {
  struct stat info;
  const bool identified = stat(path.c_str(), &info) == 0;
  if (identified) {
    const auto found = samples_.find({info.st_dev, info.st_ino});
    if (found != samples_.end()) return found->second;
  }
  std::shared_ptr<const Sample> sample;
  if (!mixer_.decode(path, sample, error)) return nullptr;
  if (identified) samples_.emplace(std::make_pair(info.st_dev, info.st_ino), sample);
  return sample;
}

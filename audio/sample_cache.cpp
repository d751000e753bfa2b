#include "audio/sample_cache.h"

#include <sys/stat.h>

#include "base/signals.h"

namespace {

bool same(const struct stat& info, dev_t device, ino_t inode, off_t size, timespec modified) {
  return info.st_dev == device && info.st_ino == inode && info.st_size == size &&
         info.st_mtim.tv_sec == modified.tv_sec && info.st_mtim.tv_nsec == modified.tv_nsec;
}

}  // namespace

std::shared_ptr<const Sample> SampleCache::load(const std::string& path, std::string& error) {
  const auto named = byName_.find(path);
  if (named != byName_.end()) return named->second.sample;
  // Loading a thousand samples takes seconds; a signal ends start-up at once.
  if (signalArrived(0)) {
    error = "start-up interrupted";
    return nullptr;
  }
  struct stat info;
  const bool identified = stat(path.c_str(), &info) == 0;
  if (identified) {
    const auto found = samples_.find({info.st_dev, info.st_ino});
    if (found != samples_.end() &&
        same(info, found->second.device, found->second.inode, found->second.size,
             found->second.modified)) {
      byName_.emplace(path, found->second);
      return found->second.sample;
    }
  }
  std::shared_ptr<const Sample> sample;
  if (!mixer_.decode(path, sample, error)) return nullptr;
  if (identified) {
    const Entry entry{sample, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    samples_[{info.st_dev, info.st_ino}] = entry;
    byName_.emplace(path, entry);
  }
  return sample;
}

void SampleCache::forgetChanged(std::vector<std::shared_ptr<const Sample>>& retired) {
  for (auto it = byName_.begin(); it != byName_.end();) {
    struct stat info;
    const Entry& entry = it->second;
    if (stat(it->first.c_str(), &info) == 0 &&
        same(info, entry.device, entry.inode, entry.size, entry.modified)) {
      ++it;
      continue;
    }
    retired.push_back(entry.sample);
    samples_.erase({entry.device, entry.inode});
    it = byName_.erase(it);
  }
}

void SampleCache::clear() {
  samples_.clear();
  byName_.clear();
}

#include "audio/sample_cache.h"

#include <sys/stat.h>

#include "base/signals.h"

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool unchanged(const struct stat& info, dev_t device, ino_t inode, off_t size, timespec modified) {
  return info.st_dev == device && info.st_ino == inode && info.st_size == size &&
         info.st_mtim.tv_sec == modified.tv_sec && info.st_mtim.tv_nsec == modified.tv_nsec;
}

}  // namespace

void SampleCache::setPlaylist(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  playlistDirectory_ = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  // The working directory under another name needs no second look.
  struct stat directory;
  struct stat working;
  if (!playlistDirectory_.empty() && stat(playlistDirectory_.c_str(), &directory) == 0 &&
      stat(".", &working) == 0 && sameFile(directory, working)) {
    playlistDirectory_.clear();
  }
}

SampleCache::SampleCache(Mixer& mixer)
    : mixer_(mixer), pool_(mixer, [] { return signalArrived(0); }) {}

bool SampleCache::find(const std::string& name, std::string& path, struct stat& info,
                       std::vector<std::string>* tried) const {
  // The working directory first, so that whatever is found there still is;
  // with no file in either place, the name as it is gives the reason.
  path = name;
  bool identified = stat(path.c_str(), &info) == 0;
  if (tried != nullptr) tried->push_back(path);
  if (!identified && !playlistDirectory_.empty() && !name.empty() && name[0] != '/') {
    const std::string beside = playlistDirectory_ + name;
    if (tried != nullptr) tried->push_back(beside);
    identified = stat(beside.c_str(), &info) == 0;
    if (identified) path = beside;
  }
  return identified;
}

void SampleCache::prefetch(const std::vector<std::string_view>& names) {
  for (const std::string_view view : names) {
    const std::string name(view);
    if (byName_.count(name) != 0) continue;
    std::string path;
    struct stat info;
    // Anything but a regular file is refused at once when it is loaded.
    if (!find(name, path, info, nullptr) || !S_ISREG(info.st_mode)) continue;
    const std::pair<dev_t, ino_t> file{info.st_dev, info.st_ino};
    const auto found = samples_.find(file);
    if ((found != samples_.end() && unchanged(info, found->second.device, found->second.inode,
                                              found->second.size, found->second.modified)) ||
        prefetched_.count(file) != 0) {
      continue;
    }
    prefetched_.emplace(file, Prefetched{pool_.submit(path), info.st_size, info.st_mtim});
  }
}

void SampleCache::dropPrefetched() {
  prefetched_.clear();
  pool_.cancelAll();
}

std::shared_ptr<const Sample> SampleCache::load(const std::string& name, std::string& error,
                                                std::vector<std::string>* tried) {
  const auto named = byName_.find(name);
  if (named != byName_.end()) return named->second.sample;
  // Loading a thousand samples takes seconds; a signal ends start-up at once.
  if (signalArrived(0)) {
    error = "start-up interrupted";
    return nullptr;
  }
  std::string path;
  struct stat info;
  const bool identified = find(name, path, info, tried);
  std::shared_ptr<const Sample> sample;
  bool decoded = false, taken = false;
  if (identified) {
    const std::pair<dev_t, ino_t> file{info.st_dev, info.st_ino};
    const auto found = samples_.find(file);
    if (found != samples_.end() && unchanged(info, found->second.device, found->second.inode,
                                             found->second.size, found->second.modified)) {
      return (byName_[name] = found->second).sample;
    }
    const auto ahead = prefetched_.find(file);
    if (ahead != prefetched_.end()) {
      const Prefetched prefetched = ahead->second;
      prefetched_.erase(ahead);
      // Decoded as the file was then: a file changed since is decoded anew.
      if (unchanged(info, file.first, file.second, prefetched.size, prefetched.modified)) {
        decoded = pool_.take(prefetched.job, sample, error);
        taken = true;
      } else {
        pool_.cancel(prefetched.job);
      }
    }
  }
  if (!taken)
    decoded = mixer_.decode(
        path, [] { return signalArrived(0); }, sample, error);
  if (!decoded) return nullptr;
  const auto old = stale_.find(name);
  if (old != stale_.end() && old->second->sameSound(*sample)) sample = old->second;
  if (identified) {
    const Entry entry{sample, path, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    samples_[{info.st_dev, info.st_ino}] = entry;
    byName_.emplace(name, entry);
  }
  return sample;
}

void SampleCache::forgetChanged() {
  for (auto it = byName_.begin(); it != byName_.end();) {
    struct stat info;
    const Entry& entry = it->second;
    if (stat(entry.path.c_str(), &info) == 0 &&
        unchanged(info, entry.device, entry.inode, entry.size, entry.modified)) {
      ++it;
      continue;
    }
    stale_[it->first] = entry.sample;
    samples_.erase({entry.device, entry.inode});
    it = byName_.erase(it);
  }
}

void SampleCache::clear() {
  dropPrefetched();
  samples_.clear();
  byName_.clear();
  stale_.clear();
}

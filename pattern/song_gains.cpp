#include "pattern/song_gains.h"

std::shared_ptr<Gain> SongGains::of(std::string_view song) {
  MutexLock lock(mutex_);
  const auto found = gains_.find(song);
  if (found != gains_.end()) return found->second;
  return gains_.emplace(std::string(song), std::make_shared<Gain>()).first->second;
}

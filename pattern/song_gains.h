#ifndef VELUMORA_PATTERN_SONG_GAINS_H_
#define VELUMORA_PATTERN_SONG_GAINS_H_

// The Gain of every song, by name: a song's notes carry it, and a control
// sets it. A song that a reload replaces, or two songs of one name, find the
// same Gain, so a reloaded song keeps its level and mute. Gains are made on
// first use and kept for the run. Any thread.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "audio/gain.h"
#include "base/mutex.h"

class SongGains {
 public:
  std::shared_ptr<Gain> of(std::string_view song);

 private:
  Mutex mutex_;
  std::map<std::string, std::shared_ptr<Gain>, std::less<>> gains_ GUARDED_BY(mutex_);
};

#endif  // VELUMORA_PATTERN_SONG_GAINS_H_

#ifndef VELUMORA_AUDIO_PLAY_REPORT_H_
#define VELUMORA_AUDIO_PLAY_REPORT_H_

// What went wrong while one song played (a note that found no free channel,
// a position that could not be set), kept for the song's own thread to
// print, since the mixer finds it on the audio thread, where nothing may
// wait on the console. The first few lines are printed as they come; after
// that at most one a second of mix time, telling how many notes it stands
// for, so that a song that floods the mixer cannot flood the console.
//
// It also counts the song's notes that the mixer has not yet decided
// (started or refused), so that the song ends only once every refusal of
// its notes has been told. Shared by the song's player and its queued notes;
// any thread.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/mutex.h"

class PlayReport {
 public:
  // The lines printed before the rest are counted.
  static constexpr int kFirstLines = 5;

  explicit PlayReport(int rate) : rate_(rate) {}

  // A line of the program's own wording, for a note due at frame.
  void report(std::string line, uint64_t frame);
  // Prints what is pending.
  void flush();

  // A note of the song was handed to the mixer, or the mixer has decided
  // what became of it (and told it, when it was refused).
  void noteHanded() { undecided_.fetch_add(1, std::memory_order_relaxed); }
  void noteDecided() { undecided_.fetch_sub(1, std::memory_order_release); }
  uint64_t undecided() const { return undecided_.load(std::memory_order_acquire); }

 private:
  const int rate_;
  std::atomic<uint64_t> undecided_{0};
  std::atomic<bool> hasPending_{false};  // lets flush() skip the lock
  Mutex mutex_;
  std::vector<std::string> pending_ GUARDED_BY(mutex_);
  int printed_ GUARDED_BY(mutex_) = 0;
  uint64_t held_ GUARDED_BY(mutex_) = 0;       // lines counted since the last one printed
  uint64_t lastFrame_ GUARDED_BY(mutex_) = 0;  // when the last line was let through
};

#endif  // VELUMORA_AUDIO_PLAY_REPORT_H_

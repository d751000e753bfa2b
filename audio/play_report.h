#ifndef VELUMORA_AUDIO_PLAY_REPORT_H_
#define VELUMORA_AUDIO_PLAY_REPORT_H_

// What went wrong while one song played (a note that found no free channel,
// a position that could not be set), kept for the song's own thread to
// print, since the mixer finds it on the audio thread, where nothing may
// wait on the console. The first few lines are printed as they come; after
// that at most one a second of mix time, telling how many notes it stands
// for, so that a song that floods the mixer cannot flood the console.
// The mixer reports from its thread; one thread at a time flushes.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class PlayReport {
 public:
  // The lines printed before the rest are counted.
  static constexpr int kFirstLines = 5;

  explicit PlayReport(int rate) : rate_(rate) {}

  // A line of the program's own wording, for a note due at frame.
  void report(std::string line, uint64_t frame);
  // Prints what is pending.
  void flush();

 private:
  const int rate_;
  std::mutex mutex_;
  std::vector<std::string> pending_;
  int printed_ = 0;
  uint64_t held_ = 0;         // lines counted since the last one printed
  uint64_t lastFrame_ = 0;    // when the last line was let through
};

#endif  // VELUMORA_AUDIO_PLAY_REPORT_H_

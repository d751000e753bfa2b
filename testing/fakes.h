#ifndef VELUMORA_TESTING_FAKES_H_
#define VELUMORA_TESTING_FAKES_H_

// What unit tests put behind the program's seams: a mixer that records every
// note it is asked to start (what a listener would hear, without SDL), a
// clock on simulated time, and a capture of standard output.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/clock.h"
#include "audio/mixer.h"

namespace testkit {

class FakeMixer : public Mixer {
 public:
  struct Note {
    std::string file;
    uint64_t frame;
    int16_t angle;
    uint8_t distance;
    uint32_t song;
  };

  // Any existing file decodes to a sample of `frames` frames (a tenth of a
  // second unless set); a missing one gives SDL_mixer's words.
  bool decode(const std::string& path, std::shared_ptr<const Sample>& sample,
              std::string& error) override;
  void start(const NoteStart& note) override;
  bool open() override { return true; }
  int rate() const override { return 22050; }
  uint32_t bufferFrames() const override { return 512; }
  uint64_t framesMixed() const override { return 0; }
  int playingChannels() override { return 0; }
  void haltAll() override {}
  void close() override {}
  void quit() override {}

  std::vector<Note> notes() const;
  int decoded = 0;
  std::size_t frames = 2205;

 private:
  mutable std::mutex mutex_;
  std::vector<Note> notes_;
};

// Waiting takes no time: now() jumps to the frame waited for, as far as
// the limit, where waiting blocks until the test moves the limit on (or the
// stop flag rises).
class FakeClock : public Clock {
 public:
  uint64_t now() const override { return now_.load(); }
  bool waitUntil(uint64_t frame, const std::atomic<bool>& stop) override;
  void setLimit(uint64_t frame);
  // How many threads wait at the limit.
  int waiting();

 private:
  std::atomic<uint64_t> now_{0};
  std::mutex mutex_;
  std::condition_variable moved_;
  uint64_t limit_ = UINT64_MAX;
  int waiting_ = 0;
};

// Everything in the open file fd, read from its start.
std::string contentsOf(int fd);

// Everything written to standard output while it lives.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  // What was written so far.
  std::string text();

 private:
  int saved_ = -1;
  int file_ = -1;
};

}  // namespace testkit

#endif  // VELUMORA_TESTING_FAKES_H_

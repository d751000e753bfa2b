#ifndef VELUMORA_TESTING_FAKES_H_
#define VELUMORA_TESTING_FAKES_H_

// What unit tests put behind the program's seams: a mixer that records every
// note it starts (what a listener would hear, without SDL), a clock on
// simulated time that drives it, and a capture of standard output. Like the
// real mixer, the fake queues the notes it is given and reads what they
// refer to only when the clock reaches them, so a referent that dies early
// is caught; and it has 16 channels, each busy for its sample's length.

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
    bool refused;  // no channel was free
    float gain;    // its gain's value as it started
  };

  ~FakeMixer() override;

  // Any existing file decodes to a sample of `frames` frames (a tenth of a
  // second unless set); a missing one gives SDL_mixer's words. A file that
  // reads "takes MS" takes that many milliseconds (unless interrupted), and
  // one that reads "fails REASON" (after that, or alone) fails for that
  // reason. Any number of threads may decode at once.
  bool decode(const std::string& path, const std::function<bool()>& interrupted,
              std::shared_ptr<const Sample>& sample, std::string& error) override;
  void start(NoteStart note) override { queue_.push(std::move(note)); }
  void collect() override { queue_.collect(); }
  bool open() override { return true; }
  int rate() const override { return 22050; }
  int channels() const override { return 2; }
  uint32_t bufferFrames() const override { return 512; }
  uint64_t framesMixed() const override { return mixed_.load(); }
  // The controls are recorded; the clock alone moves the mix.
  uint64_t setPaused(bool paused) override;
  uint64_t setVolume(double volume) override;
  uint64_t updateGains() override;
  bool paused() const { return paused_.load(); }
  double volume() const { return volume_.load(); }
  int gainUpdates() const { return gainUpdates_.load(); }
  void stopTaking() override;
  int playingChannels() override;
  void haltAll() override;
  void close() override {}
  void quit() override {}

  // Mixes up to frame: starts the notes due before it, as the audio thread
  // would.
  void mixTo(uint64_t frame);
  // The notes started or refused so far.
  std::vector<Note> notes() const;
  std::atomic<int> decoded{0};
  std::atomic<int> decoding{0};    // decodings under way
  std::atomic<int> mostAtOnce{0};  // the most there were at once
  std::size_t frames = 2205;

 private:
  struct Channel {
    NoteQueue::Node* node;
    uint64_t end;  // the frame after its last
  };
  static constexpr std::size_t kChannels = 16;

  void release(uint64_t before);

  mutable std::mutex mutex_;  // the fake's audio lock
  NoteQueue queue_;
  std::vector<Channel> playing_;
  std::vector<Note> notes_;
  std::atomic<uint64_t> mixed_{0};
  std::atomic<bool> paused_{false};
  std::atomic<double> volume_{1.0};
  std::atomic<int> gainUpdates_{0};
};

// Waiting takes no time: now() jumps to the frame waited for, as far as
// the limit, where waiting blocks until the test moves the limit on (or the
// stop flag rises).
class FakeClock : public Clock {
 public:
  // mixer, when given, mixes as far as the clock moves.
  explicit FakeClock(FakeMixer* mixer = nullptr) : mixer_(mixer) {}
  uint64_t now() const override { return now_.load(); }
  bool waitUntil(uint64_t frame, const std::atomic<bool>& stop) override;
  void setLimit(uint64_t frame);
  // How many threads wait at the limit.
  int waiting();

 private:
  FakeMixer* const mixer_;
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

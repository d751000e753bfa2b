#ifndef VELUMORA_APP_CONTROLLER_H_
#define VELUMORA_APP_CONTROLLER_H_

// The commands of a run while it plays (ControlCommand): pause and play,
// the level of the whole mix, each song's level and mute, and quit. Each
// command is carried out through the mixer's controls, so it takes effect on
// an exact frame, the first the device plays after it; one that changes
// what is heard prints one line ("paused", "volume 60%", "song "rain"
// muted"), and nothing else prints anything. A song's level and mute belong
// to its name (SongGains): a muted song goes on keeping time, its notes
// starting silently, so unmuting brings it back in step, and a reloaded song
// keeps both.
//
// Quit asks the console to end the run (quitDescriptor()); once the run is
// ending, only quit is taken, to cut a fade-out short. The time played, for
// the sleep timer, stands still while paused. A record, when asked for, gets
// a control script line for each change, at the time it took effect, so the
// session can be rendered again (velumora-render --control).
//
// Threads: run() and the readers from any thread but the audio thread (the
// renderer runs its script from its mix hook, which may); setSongs(),
// setOrigin(), record() and onChange() on the main thread, the last two
// before any command. Commands are carried out one at a time, in the order
// they come; listeners are called after each change, on the thread that made
// it, and must not run a command.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/control_command.h"
#include "audio/mixer.h"
#include "base/mutex.h"

class SongGains;

class Controller {
 public:
  enum class Outcome {
    kChanged,      // and told
    kUnchanged,    // it was so already
    kUnknownSong,  // no song of the playlist has that name
    kEnding,       // the run is ending: only quit is taken
  };

  struct SongState {
    std::string name;
    double volume = 1;
    bool muted = false;
  };
  struct State {
    bool paused = false;
    double volume = 1;
    // The songs of the playlist, in its order.
    std::vector<SongState> songs;
  };

  // volume: the mix's level to begin with (--volume).
  Controller(Mixer& mixer, SongGains& gains, double volume);
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // The songs of the playlist in order, after start-up and each reload.
  void setSongs(std::vector<std::string> names);
  // The frame of the players' moment 0, counted as the mixer's controls
  // count: the record's time 0, and where the position begins.
  void setOrigin(uint64_t frame);
  // Writes the record to path, beginning with a comment that names the
  // seed; false with the reason in error.
  bool record(const std::string& path, uint32_t seed, std::string& error);
  // Called after every change (a wake-up for a thread that tells others).
  void onChange(std::function<void()> listener);

  Outcome run(ControlCommand command);
  State state() const;
  // Microseconds of the mix played since the origin, pauses not counted.
  int64_t positionMicroseconds() const;

  // Readable once for every quit not yet taken.
  int quitDescriptor() const { return quitPipe_[0]; }
  // Takes one quit; true when there was one.
  bool takeQuit();
  // The run ends: from now on only quit is taken.
  void endCommands();

  // The wall time spent paused since the controller was made, and whether
  // it is paused now: the sleep timer counts playing time only.
  int64_t pausedMs(bool& paused) const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Level {
    double volume = 1;
    bool muted = false;
  };

  // What a change prints; empty when nothing changed. Records it.
  std::string apply(const ControlCommand& command, Outcome& outcome) REQUIRES(mutex_);
  void recordLine(uint64_t frame, const ControlCommand& command) REQUIRES(mutex_);
  bool knows(const std::string& song) const REQUIRES(mutex_);

  Mixer& mixer_;
  SongGains& gains_;
  int quitPipe_[2] = {-1, -1};
  std::vector<std::function<void()>> listeners_;
  mutable Mutex mutex_;
  bool paused_ GUARDED_BY(mutex_) = false;
  bool ending_ GUARDED_BY(mutex_) = false;
  double volume_ GUARDED_BY(mutex_);
  uint64_t origin_ GUARDED_BY(mutex_) = 0;
  std::vector<std::string> songs_ GUARDED_BY(mutex_);
  std::map<std::string, Level, std::less<>> levels_ GUARDED_BY(mutex_);
  Clock::time_point pausedAt_ GUARDED_BY(mutex_);
  Clock::duration pausedFor_ GUARDED_BY(mutex_) = Clock::duration::zero();
  std::FILE* record_ GUARDED_BY(mutex_) = nullptr;
};

#endif  // VELUMORA_APP_CONTROLLER_H_

#include "app/controller.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "base/console.h"
#include "pattern/song_gains.h"

namespace {

// Levels are kept to four decimals, which a record writes and reads back
// exactly, so a rendered session hears the levels live heard.
double rounded(double level) { return std::round(level * 10000) / 10000; }

std::string percent(double level) { return std::to_string(std::lround(level * 100)) + "%"; }

std::string songLine(const std::string& name, const std::string& what) {
  return "song \"" + name + "\" " + what;
}

}  // namespace

Controller::Controller(Mixer& mixer, SongGains& gains, double volume)
    : mixer_(mixer), gains_(gains), volume_(volume) {
  // Without the pipe, quit cannot reach the console: it is then not taken.
  if (pipe2(quitPipe_, O_CLOEXEC | O_NONBLOCK) != 0) quitPipe_[0] = quitPipe_[1] = -1;
}

Controller::~Controller() {
  for (int fd : quitPipe_) {
    if (fd >= 0) close(fd);
  }
  MutexLock lock(mutex_);
  if (record_ != nullptr) std::fclose(record_);
}

void Controller::setSongs(std::vector<std::string> names) {
  {
    MutexLock lock(mutex_);
    songs_ = std::move(names);
  }
  for (const auto& listener : listeners_) listener();
}

void Controller::setOrigin(uint64_t frame) {
  MutexLock lock(mutex_);
  origin_ = frame;
}

bool Controller::record(const std::string& path, uint32_t seed, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "we");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  std::fprintf(file, "# velumora played these with --seed %u; each line: seconds, command\n", seed);
  std::fflush(file);
  MutexLock lock(mutex_);
  if (record_ != nullptr) std::fclose(record_);
  record_ = file;
  return true;
}

void Controller::onChange(std::function<void()> listener) {
  listeners_.push_back(std::move(listener));
}

bool Controller::knows(const std::string& song) const {
  return std::find(songs_.begin(), songs_.end(), song) != songs_.end();
}

void Controller::recordLine(uint64_t frame, const ControlCommand& command) {
  if (record_ == nullptr) return;
  const auto rate = static_cast<uint64_t>(mixer_.rate());
  const uint64_t frames = frame > origin_ ? frame - origin_ : 0;
  // The time rounded up to the microsecond: read back, it falls on the same
  // frame.
  const uint64_t us = frames / rate * 1000000 + (frames % rate * 1000000 + rate - 1) / rate;
  std::fprintf(record_, "%llu.%06llu %s\n", static_cast<unsigned long long>(us / 1000000),
               static_cast<unsigned long long>(us % 1000000), command.text().c_str());
  std::fflush(record_);
}

std::string Controller::apply(const ControlCommand& command, Outcome& outcome) {
  using Kind = ControlCommand::Kind;
  outcome = Outcome::kUnchanged;
  uint64_t frame = 0;
  std::string line;
  ControlCommand done = command;
  switch (command.kind) {
    case Kind::kToggle:
      done.kind = paused_ ? Kind::kPlay : Kind::kPause;
      return apply(done, outcome);
    case Kind::kPause:
      if (paused_) return "";
      frame = mixer_.setPaused(true);
      paused_ = true;
      pausedAt_ = Clock::now();
      line = "paused";
      break;
    case Kind::kPlay:
      if (!paused_) return "";
      frame = mixer_.setPaused(false);
      paused_ = false;
      pausedFor_ += Clock::now() - pausedAt_;
      line = "playing";
      break;
    case Kind::kVolume: {
      done.value = rounded(command.value);
      if (done.value == volume_) return "";
      frame = mixer_.setVolume(done.value);
      volume_ = done.value;
      line = "volume " + percent(volume_);
      break;
    }
    case Kind::kSongVolume:
    case Kind::kSongMute: {
      if (!knows(command.song)) {
        outcome = Outcome::kUnknownSong;
        return "";
      }
      Level& level = levels_[command.song];
      const bool volume = command.kind == Kind::kSongVolume;
      done.value = volume ? rounded(command.value) : command.value != 0 ? 1 : 0;
      if (volume ? done.value == level.volume : (done.value != 0) == level.muted) return "";
      if (volume) {
        level.volume = done.value;
        line = songLine(command.song, "volume " + percent(level.volume));
      } else {
        level.muted = done.value != 0;
        line = songLine(command.song, level.muted ? "muted" : "unmuted");
      }
      gains_.of(command.song)->set(level.muted ? 0.0f : static_cast<float>(level.volume));
      frame = mixer_.updateGains();
      break;
    }
    case Kind::kQuit:
    case Kind::kStatus:
      return "";
  }
  outcome = Outcome::kChanged;
  recordLine(frame, done);
  return line;
}

Controller::Outcome Controller::run(ControlCommand command) {
  Outcome outcome = Outcome::kUnchanged;
  {
    MutexLock lock(mutex_);
    if (command.kind == ControlCommand::Kind::kQuit) {
      if (!ending_) printLine("quit: ending");
      ending_ = true;
      const char byte = 'q';
      if (quitPipe_[1] >= 0 && write(quitPipe_[1], &byte, 1) != 1) {
        // A full pipe holds quits enough.
      }
      return Outcome::kChanged;
    }
    if (command.kind == ControlCommand::Kind::kStatus) return Outcome::kUnchanged;
    if (ending_) return Outcome::kEnding;
    const std::string line = apply(command, outcome);
    // Printed in the order the changes were made.
    if (!line.empty()) printLine(line);
  }
  if (outcome == Outcome::kChanged) {
    for (const auto& listener : listeners_) listener();
  }
  return outcome;
}

Controller::State Controller::state() const {
  MutexLock lock(mutex_);
  State state;
  state.paused = paused_;
  state.volume = volume_;
  for (const std::string& name : songs_) {
    SongState song;
    song.name = name;
    const auto level = levels_.find(name);
    if (level != levels_.end()) {
      song.volume = level->second.volume;
      song.muted = level->second.muted;
    }
    state.songs.push_back(std::move(song));
  }
  return state;
}

int64_t Controller::positionMicroseconds() const {
  uint64_t origin = 0;
  {
    MutexLock lock(mutex_);
    origin = origin_;
  }
  const uint64_t mixed = mixer_.framesMixed();
  const auto rate = static_cast<uint64_t>(mixer_.rate());
  if (mixed <= origin || rate == 0) return 0;
  const uint64_t frames = mixed - origin;
  return static_cast<int64_t>(frames / rate * 1000000 + frames % rate * 1000000 / rate);
}

bool Controller::takeQuit() {
  char byte = 0;
  return quitPipe_[0] >= 0 && read(quitPipe_[0], &byte, 1) == 1;
}

void Controller::endCommands() {
  MutexLock lock(mutex_);
  ending_ = true;
}

int64_t Controller::pausedMs(bool& paused) const {
  MutexLock lock(mutex_);
  paused = paused_;
  Clock::duration total = pausedFor_;
  if (paused_) total += Clock::now() - pausedAt_;
  return std::chrono::duration_cast<std::chrono::milliseconds>(total).count();
}

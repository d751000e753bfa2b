#include "testing/fakes.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "base/console.h"

namespace testkit {

std::string contentsOf(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t got;
  for (off_t at = 0; (got = pread(fd, buffer, sizeof buffer, at)) > 0; at += got)
    text.append(buffer, static_cast<std::size_t>(got));
  return text;
}

bool FakeMixer::decode(const std::string& path, const std::function<bool()>& interrupted,
                       std::shared_ptr<const Sample>& sample, std::string& error) {
  if (access(path.c_str(), R_OK) != 0) {
    error = "Mix_LoadWAV_RW with NULL src";
    return false;
  }
  const int now = ++decoding;
  for (int most = mostAtOnce.load(); now > most && !mostAtOnce.compare_exchange_weak(most, now);) {
  }
  std::ifstream file(path);
  std::string word, reason;
  int takes = 0;
  file >> word;
  if (word == "takes") file >> takes >> word;
  if (word == "fails") std::getline(file >> std::ws, reason);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(takes);
  while (std::chrono::steady_clock::now() < until && !(interrupted && interrupted()))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  --decoding;
  if (interrupted && interrupted()) {
    error = "start-up interrupted";
    return false;
  }
  if (word == "fails") {
    error = reason;
    return false;
  }
  ++decoded;
  std::vector<int16_t> data(2 * (bufferFrames() + frames), 1000);
  std::fill_n(data.begin(), 2 * bufferFrames(), 0);
  sample = std::make_shared<const Sample>(std::move(data), bufferFrames(),
                                          "22.05 kHz 16-bit stereo WAV");
  return true;
}

FakeMixer::~FakeMixer() { haltAll(); }

void FakeMixer::release(uint64_t before) {
  std::size_t kept = 0;
  for (const Channel& channel : playing_) {
    if (channel.end <= before) {
      queue_.finish(channel.node);
    } else {
      playing_[kept++] = channel;
    }
  }
  playing_.resize(kept);
}

void FakeMixer::mixTo(uint64_t frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.admit();
  while (NoteQueue::Node* node = queue_.due(frame)) {
    const NoteStart& note = node->note;
    release(note.frame);
    const bool refused = playing_.size() == kChannels;
    const float gain = note.gain != nullptr ? note.gain->value() : 1.0f;
    notes_.push_back(
        Note{*note.fileName, note.frame, note.angle, note.distance, note.song, refused, gain});
    if (refused) {
      NoteQueue::mark(node, NoteQueue::Outcome::kRefused, "No free channels available");
      queue_.finish(node);
      continue;
    }
    playing_.push_back(Channel{node, note.frame + note.sample->frames()});
    NoteQueue::started(node);
  }
  release(frame);
  if (frame > mixed_.load()) mixed_.store(frame);
}

uint64_t FakeMixer::setPaused(bool paused) {
  paused_.store(paused);
  return mixed_.load();
}

uint64_t FakeMixer::setVolume(double volume) {
  volume_.store(volume);
  return mixed_.load();
}

uint64_t FakeMixer::updateGains() {
  ++gainUpdates_;
  return mixed_.load();
}

void FakeMixer::stopTaking() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.stop();
  }
  queue_.collect();
}

int FakeMixer::playingChannels() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(playing_.size());
}

void FakeMixer::haltAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.stop();
    release(UINT64_MAX);
  }
  queue_.collect();
}

std::vector<FakeMixer::Note> FakeMixer::notes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notes_;
}

bool FakeClock::waitUntil(uint64_t frame, const std::atomic<bool>& stop) {
  // What was handed over before now is mixed even while the clock stands
  // at its limit.
  if (mixer_ != nullptr) mixer_->mixTo(now_.load());
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_;
  while (frame > limit_ && !stop.load()) moved_.wait_for(lock, std::chrono::milliseconds(10));
  --waiting_;
  if (stop.load()) return false;
  uint64_t now = now_.load();
  while (now < frame && !now_.compare_exchange_weak(now, frame)) {
  }
  if (mixer_ != nullptr) mixer_->mixTo(now_.load());
  return true;
}

int FakeClock::waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_;
}

void FakeClock::setLimit(uint64_t frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  limit_ = frame;
  moved_.notify_all();
}

StdoutCapture::StdoutCapture() {
  drainConsole();
  std::fflush(stdout);
  char name[] = "/tmp/velumora-stdout-XXXXXX";
  file_ = mkstemp(name);
  unlink(name);
  saved_ = dup(1);
  dup2(file_, 1);
}

StdoutCapture::~StdoutCapture() {
  drainConsole();
  std::fflush(stdout);
  dup2(saved_, 1);
  close(saved_);
  close(file_);
}

std::string StdoutCapture::text() {
  drainConsole();
  std::fflush(stdout);
  return contentsOf(file_);
}

}  // namespace testkit

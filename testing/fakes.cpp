#include "testing/fakes.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

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

bool FakeMixer::decode(const std::string& path, std::shared_ptr<const Sample>& sample,
                       std::string& error) {
  if (access(path.c_str(), R_OK) != 0) {
    error = "Mix_LoadWAV_RW with NULL src";
    return false;
  }
  ++decoded;
  sample = std::make_shared<const Sample>(std::vector<int16_t>(2 * frames, 1000), bufferFrames());
  return true;
}

void FakeMixer::start(const NoteStart& note) {
  std::lock_guard<std::mutex> lock(mutex_);
  notes_.push_back(Note{*note.fileName, note.frame, note.angle, note.distance, note.song});
}

std::vector<FakeMixer::Note> FakeMixer::notes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notes_;
}

bool FakeClock::waitUntil(uint64_t frame, const std::atomic<bool>& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_;
  while (frame > limit_ && !stop.load()) moved_.wait_for(lock, std::chrono::milliseconds(10));
  --waiting_;
  if (stop.load()) return false;
  uint64_t now = now_.load();
  while (now < frame && !now_.compare_exchange_weak(now, frame)) {
  }
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

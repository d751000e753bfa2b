#include "audio/play_report.h"

#include "base/console.h"

void PlayReport::report(std::string line, uint64_t frame) {
  MutexLock lock(mutex_);
  if (printed_ < kFirstLines) {
    ++printed_;
    lastFrame_ = frame;
    pending_.push_back(std::move(line));
    hasPending_.store(true, std::memory_order_release);
    return;
  }
  ++held_;
  if (frame < lastFrame_ + static_cast<uint64_t>(rate_)) return;
  pending_.push_back(line + " (" + std::to_string(held_) + " notes since the last line)");
  held_ = 0;
  lastFrame_ = frame;
  hasPending_.store(true, std::memory_order_release);
}

void PlayReport::flush() {
  if (!hasPending_.load(std::memory_order_acquire)) return;
  std::vector<std::string> lines;
  {
    MutexLock lock(mutex_);
    lines.swap(pending_);
    hasPending_.store(false, std::memory_order_relaxed);
  }
  for (const std::string& line : lines) printLine(line);
}

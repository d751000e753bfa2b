#include "audio/play_report.h"

#include "base/console.h"

void PlayReport::report(std::string line, uint64_t frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (printed_ < kFirstLines) {
    ++printed_;
    lastFrame_ = frame;
    pending_.push_back(std::move(line));
    return;
  }
  ++held_;
  if (frame < lastFrame_ + static_cast<uint64_t>(rate_)) return;
  pending_.push_back(line + " (" + std::to_string(held_) + " notes since the last line)");
  held_ = 0;
  lastFrame_ = frame;
}

void PlayReport::flush() {
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines.swap(pending_);
  }
  for (const std::string& line : lines) printLine(line);
}

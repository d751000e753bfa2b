#include "app/control_script.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Seconds with at most six decimals, as microseconds; false when text is
// not such a time or lies past the latest.
bool readTime(std::string_view text, uint64_t& microseconds) {
  uint64_t seconds = 0;
  std::size_t at = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    seconds = seconds * 10 + static_cast<uint64_t>(text[at] - '0');
    if (seconds > ControlScript::kLatestSeconds) return false;
  }
  if (at == 0) return false;
  uint64_t fraction = 0;
  int decimals = 0;
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      if (++decimals > 6) return false;
      fraction = fraction * 10 + static_cast<uint64_t>(text[at] - '0');
    }
  }
  if (at != text.size()) return false;
  for (; decimals < 6; ++decimals) fraction *= 10;
  microseconds = seconds * 1000000 + fraction;
  return microseconds <= ControlScript::kLatestSeconds * 1000000;
}

}  // namespace

bool ControlScript::parse(std::string_view text, const std::string& name, std::string& error) {
  lines_.clear();
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    line.remove_prefix(first);
    const std::string where = name + ":" + std::to_string(number) + ": ";
    const std::size_t space = std::min(line.find_first_of(" \t"), line.size());
    Line read;
    read.number = number;
    if (!readTime(line.substr(0, space), read.microseconds)) {
      error = where + "a line begins with its time in seconds, such as 12 or 12.5 (at most " +
              std::to_string(kLatestSeconds) + ", with at most six decimals)";
      return false;
    }
    std::string why;
    if (!ControlCommand::parse(line.substr(space), read.command, why)) {
      error = where + why;
      return false;
    }
    if (read.command.kind == ControlCommand::Kind::kQuit) {
      error = where + "a render ends after its --seconds: quit is not one of its commands";
      return false;
    }
    lines_.push_back(std::move(read));
  }
  std::stable_sort(lines_.begin(), lines_.end(),
                   [](const Line& a, const Line& b) { return a.microseconds < b.microseconds; });
  return true;
}

bool ControlScript::read(const std::string& path, std::string& error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  const std::string text(in ? std::string(std::istreambuf_iterator<char>(in), {}) : "");
  if (!in.is_open() || in.bad()) {
    error = path + ": " + std::strerror(errno != 0 ? errno : EIO);
    return false;
  }
  return parse(text, path, error);
}

uint64_t ControlScript::frameOf(const Line& line, int rate, uint64_t step) {
  const auto perSecond = static_cast<uint64_t>(rate);
  const uint64_t us = line.microseconds;
  const uint64_t frame = us / 1000000 * perSecond + us % 1000000 * perSecond / 1000000;
  return (frame + step - 1) / step * step;
}

uint64_t ControlScript::pausedWithin(uint64_t frames, int rate, uint64_t step) const {
  uint64_t paused = 0;
  bool still = false;
  uint64_t since = 0;
  for (const Line& line : lines_) {
    const uint64_t frame = frameOf(line, rate, step);
    if (frame >= frames) break;
    if (line.command.kind == ControlCommand::Kind::kPause && !still) {
      still = true;
      since = frame;
    } else if (line.command.kind == ControlCommand::Kind::kPlay && still) {
      still = false;
      paused += frame - since;
    }
  }
  if (still) paused += frames - since;
  return paused;
}

#include "app/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "base/console.h"
#include "base/signals.h"

namespace {

using Clock = std::chrono::steady_clock;

bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

enum class Woken { kInput, kSignal, kTimer };

// Waits until standard input (when still open) can be read, a signal has
// arrived or the deadline has passed, serving the watched descriptor.
Woken wait(bool inputOpen, const ConsoleWaits& waits, Clock::time_point deadline) {
  for (;;) {
    int timeout = -1;
    if (waits.timerMs >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return Woken::kTimer;
      timeout = static_cast<int>(std::min<int64_t>(left, 1 << 30));
    }
    pollfd fds[3] = {{signalDescriptor(), POLLIN, 0}, {waits.fd, POLLIN, 0},
                     {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = poll(fds, 3, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // Nothing left to wait on; behave as if interrupted.
      return Woken::kSignal;
    }
    if (fds[0].revents != 0) return Woken::kSignal;
    if (fds[1].revents != 0 && waits.onReady) waits.onReady();
    if (fds[2].revents != 0) return Woken::kInput;
  }
}

}  // namespace

ConsoleEnd consoleLoop(const ConsoleWaits& waits) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(waits.timerMs, 0));
  const std::string prompt = "type 'q' and enter to exit";
  std::string word;
  char buffer[4096];
  std::size_t filled = 0;
  std::size_t next = 0;
  for (;;) {
    if (next == filled) {
      const Woken woken = wait(true, waits, deadline);
      if (woken == Woken::kSignal) return ConsoleEnd::kSignal;
      if (woken == Woken::kTimer) return ConsoleEnd::kTimer;
      const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0) break;
      filled = static_cast<std::size_t>(got);
      next = 0;
    }
    const char c = buffer[next++];
    if (!isWhite(c)) {
      if (word.size() < kLongestWord) word += c;
      continue;
    }
    if (word.empty()) continue;
    if (word == "q" || word == "exit") return ConsoleEnd::kWord;
    printLine(prompt);
    word.clear();
  }
  // Input ended: a last word without white space after it still counts.
  if (!word.empty()) {
    if (word == "q" || word == "exit") return ConsoleEnd::kWord;
    printLine(prompt);
  }
  printLine("input closed: playing until interrupted");
  return wait(false, waits, deadline) == Woken::kTimer ? ConsoleEnd::kTimer : ConsoleEnd::kSignal;
}

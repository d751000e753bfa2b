#include "app/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/console.h"
#include "base/signals.h"

namespace {

bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Waits until standard input (when still open) or a signal can be read.
// Returns true when a signal arrived.
bool waitForInputOrSignal(bool inputOpen) {
  for (;;) {
    pollfd fds[2] = {{signalDescriptor(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const int ready = poll(fds, inputOpen ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // Nothing left to wait on; behave as if interrupted.
      return true;
    }
    if (fds[0].revents != 0) return true;
    if (inputOpen && fds[1].revents != 0) return false;
  }
}

}  // namespace

void consoleLoop() {
  const std::string prompt = "type 'q' and enter to exit";
  std::string word;
  char buffer[4096];
  std::size_t filled = 0;
  std::size_t next = 0;
  for (;;) {
    if (next == filled) {
      if (waitForInputOrSignal(true)) return;
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
    if (word == "q" || word == "exit") return;
    printLine(prompt);
    word.clear();
  }
  // Input ended: a last word without white space after it still counts.
  if (!word.empty()) {
    if (word == "q" || word == "exit") return;
    printLine(prompt);
  }
  printLine("input closed: playing until interrupted");
  waitForInputOrSignal(false);
}

#include "app/console.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/console.h"
#include "base/signals.h"

namespace {

constexpr char kPrompt[] = "type 'q' and enter to exit";

bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isEnd(const std::string& word) { return word == "q" || word == "exit"; }

enum class Woken { kInput, kSignal, kTimer };

// Waits until standard input (when still open) can be read, a signal has
// arrived or the deadline (when timed) has passed, serving the watched
// descriptor (when serve). A signal is taken off the pipe, so that the next
// wait sees only signals still to come.
Woken wait(bool inputOpen, bool timed, std::chrono::steady_clock::time_point deadline,
           const ConsoleWaits& waits, bool serve) {
  for (;;) {
    int timeout = -1;
    if (timed) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return Woken::kTimer;
      timeout = static_cast<int>(std::min<int64_t>(left, 1 << 30));
    }
    pollfd fds[3] = {{signalDescriptor(), POLLIN, 0},
                     {serve ? waits.fd : -1, POLLIN, 0},
                     {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = poll(fds, 3, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // Nothing left to wait on; behave as if interrupted.
      return Woken::kSignal;
    }
    if (fds[0].revents != 0) {
      takeSignal();
      return Woken::kSignal;
    }
    if (fds[1].revents != 0 && waits.onReady) waits.onReady();
    if (fds[2].revents != 0) return Woken::kInput;
  }
}

}  // namespace

Console::Console(ConsoleWaits waits) : waits_(std::move(waits)) {}

Console::Step Console::next(Clock::time_point deadline, bool timed, bool serve) {
  for (;;) {
    if (!inputOpen_) {
      return wait(false, timed, deadline, waits_, serve) == Woken::kTimer ? Step::kTimer
                                                                          : Step::kSignal;
    }
    if (next_ == filled_) {
      const Woken woken = wait(true, timed, deadline, waits_, serve);
      if (woken == Woken::kSignal) return Step::kSignal;
      if (woken == Woken::kTimer) return Step::kTimer;
      const ssize_t got = read(STDIN_FILENO, buffer_, sizeof buffer_);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0) {
        // Input ended: a last word without white space after it still counts.
        inputOpen_ = false;
        const bool end = isEnd(word_);
        if (!word_.empty() && !end) printLine(kPrompt);
        word_.clear();
        return end ? Step::kWord : Step::kClosed;
      }
      filled_ = static_cast<std::size_t>(got);
      next_ = 0;
    }
    const char c = buffer_[next_++];
    if (!isWhite(c)) {
      if (word_.size() < kLongestWord) word_ += c;
      continue;
    }
    if (word_.empty()) continue;
    const bool end = isEnd(word_);
    word_.clear();
    if (end) return Step::kWord;
    printLine(kPrompt);
  }
}

ConsoleEnd Console::loop() {
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(std::max<int64_t>(waits_.timerMs, 0));
  for (;;) {
    switch (next(deadline, waits_.timerMs >= 0, true)) {
      case Step::kWord:
        return ConsoleEnd::kWord;
      case Step::kSignal:
        return ConsoleEnd::kSignal;
      case Step::kTimer:
        return ConsoleEnd::kTimer;
      case Step::kClosed:
        printLine("input closed: playing until interrupted");
        break;
    }
  }
}

bool Console::endsWithin(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const Step step = next(deadline, true, false);
    if (step == Step::kTimer) return false;
    if (step != Step::kClosed) return true;
  }
}

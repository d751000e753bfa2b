#include "app/console.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/console.h"
#include "base/signals.h"

namespace {

constexpr char kPrompt[] = "type 'q' and enter to exit";
// How often a timer that stands still is looked at again.
constexpr int kStillTimerMs = 250;

bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isEnd(const std::string& word) { return word == "q" || word == "exit"; }

}  // namespace

Console::Console(ConsoleWaits waits) : waits_(std::move(waits)) {}

// A signal is taken off the pipe, so that the next wait sees only signals
// still to come.
Console::Woken Console::wait(const std::function<Due()>& due, bool serve) {
  for (;;) {
    int timeout = -1;
    const Due until = due();
    if (until.kind == Due::Kind::kAt) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until.at - Clock::now()).count();
      if (left <= 0) return Woken::kTimer;
      timeout = static_cast<int>(std::min<int64_t>(left, 1 << 30));
    } else if (until.kind == Due::Kind::kLater) {
      timeout = kStillTimerMs;
    }
    pollfd fds[4] = {{signalDescriptor(), POLLIN, 0},
                     {serve ? waits_.fd : -1, POLLIN, 0},
                     {waits_.onQuit ? waits_.quitFd : -1, POLLIN, 0},
                     {inputOpen_ ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = poll(fds, 4, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // Nothing left to wait on; behave as if interrupted.
      return Woken::kSignal;
    }
    if (fds[0].revents != 0) {
      takeSignal();
      return Woken::kSignal;
    }
    if (fds[1].revents != 0 && waits_.onReady) waits_.onReady();
    if (fds[2].revents != 0 && waits_.onQuit()) return Woken::kQuit;
    if (fds[3].revents != 0) return Woken::kInput;
  }
}

Console::Step Console::next(const std::function<Due()>& due, bool serve) {
  for (;;) {
    if (!inputOpen_ || next_ == filled_) {
      const Woken woken = wait(due, serve);
      if (woken == Woken::kSignal) return Step::kSignal;
      if (woken == Woken::kTimer) return Step::kTimer;
      if (woken == Woken::kQuit) return Step::kQuit;
      if (!inputOpen_) continue;
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
  const auto start = Clock::now();
  const auto due = [&] {
    Due until;
    if (waits_.timerMs < 0) return until;
    bool still = false;
    const int64_t held = waits_.heldMs ? waits_.heldMs(still) : 0;
    until.kind = still ? Due::Kind::kLater : Due::Kind::kAt;
    until.at = start + std::chrono::milliseconds(waits_.timerMs + held);
    return until;
  };
  for (;;) {
    switch (next(due, true)) {
      case Step::kWord:
        return ConsoleEnd::kWord;
      case Step::kSignal:
        return ConsoleEnd::kSignal;
      case Step::kTimer:
        return ConsoleEnd::kTimer;
      case Step::kQuit:
        return ConsoleEnd::kQuit;
      case Step::kClosed:
        printLine("input closed: playing until interrupted");
        break;
    }
  }
}

bool Console::endsWithin(int ms) {
  const Due until{Due::Kind::kAt, Clock::now() + std::chrono::milliseconds(ms)};
  for (;;) {
    const Step step = next([&] { return until; }, false);
    if (step == Step::kTimer) return false;
    if (step != Step::kClosed) return true;
  }
}

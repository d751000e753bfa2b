#ifndef VELUMORA_APP_CONSOLE_H_
#define VELUMORA_APP_CONSOLE_H_

// The console of the live program. Main thread only.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

constexpr unsigned kLongestWord = 4096;

enum class ConsoleEnd { kWord, kSignal, kTimer };

// What else the loop waits for: a time after which it ends (ms from now; -1
// none), and a descriptor whose readiness calls onReady (-1 none).
struct ConsoleWaits {
  int64_t timerMs = -1;
  int fd = -1;
  std::function<void()> onReady;
};

class Console {
 public:
  explicit Console(ConsoleWaits waits = ConsoleWaits());

  // Reads white-space separated words from standard input until "q" or
  // "exit" (any other word prints the prompt again), a signal or the timer.
  // A word is kept to its first kLongestWord bytes, so no input can grow it
  // without bound. When input ends it says so once and waits, without using
  // the processor, for a signal or the timer.
  ConsoleEnd loop();

  // During the fade-out after loop(): reads on for at most ms and tells
  // whether one more "q" or "exit" or a signal came, to cut the fade short.
  // Other words print the prompt as in loop(); input that ends is not told
  // again, and the descriptor is no longer served.
  bool endsWithin(int ms);

 private:
  enum class Step { kWord, kSignal, kTimer, kClosed };
  using Clock = std::chrono::steady_clock;

  Step next(Clock::time_point deadline, bool timed, bool serve);

  ConsoleWaits waits_;
  bool inputOpen_ = true;
  std::string word_;
  char buffer_[4096];
  std::size_t filled_ = 0;
  std::size_t next_ = 0;
};

#endif  // VELUMORA_APP_CONSOLE_H_

#ifndef VELUMORA_APP_CONSOLE_H_
#define VELUMORA_APP_CONSOLE_H_

// The console loop of the live program. Main thread only.

#include <cstdint>
#include <functional>

constexpr unsigned kLongestWord = 4096;

enum class ConsoleEnd { kWord, kSignal, kTimer };

// What else the loop waits for: a time after which it ends (ms from now; -1
// none), and a descriptor whose readiness calls onReady (-1 none).
struct ConsoleWaits {
  int64_t timerMs = -1;
  int fd = -1;
  std::function<void()> onReady;
};

// Reads white-space separated words from standard input until "q" or "exit"
// (any other word prints the prompt again), a signal or the timer. A word is
// kept to its first kLongestWord bytes, so no input can grow it without
// bound. When input ends it says so once and waits, without using the
// processor, for a signal or the timer.
ConsoleEnd consoleLoop(const ConsoleWaits& waits = ConsoleWaits());

#endif  // VELUMORA_APP_CONSOLE_H_

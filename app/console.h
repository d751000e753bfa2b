#ifndef VELUMORA_APP_CONSOLE_H_
#define VELUMORA_APP_CONSOLE_H_

// The console of the live program. Main thread only.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

constexpr unsigned kLongestWord = 4096;

enum class ConsoleEnd { kWord, kSignal, kTimer, kQuit };

// What else the loop waits for: a time after which it ends (ms from now; -1
// none), and a descriptor whose readiness calls onReady (-1 none). With
// heldMs, the timer counts only the time it did not stand still: heldMs
// tells how long it has stood still so far, and whether it stands still now.
// A quit descriptor (-1 none) is readable when someone else asks the program
// to end; onQuit takes one such request and tells whether there was one.
struct ConsoleWaits {
  int64_t timerMs = -1;
  std::function<int64_t(bool& still)> heldMs;
  int fd = -1;
  std::function<void()> onReady;
  int quitFd = -1;
  std::function<bool()> onQuit;
};

class Console {
 public:
  explicit Console(ConsoleWaits waits = ConsoleWaits());

  // Reads white-space separated words from standard input until "q" or
  // "exit" (any other word prints the prompt again), a signal, the timer or
  // a quit.
  // A word is kept to its first kLongestWord bytes, so no input can grow it
  // without bound. When input ends it says so once and waits, without using
  // the processor, for a signal or the timer.
  ConsoleEnd loop();

  // During the fade-out after loop(): reads on for at most ms and tells
  // whether one more "q" or "exit", a signal or a quit came, to cut the fade
  // short.
  // Other words print the prompt as in loop(); input that ends is not told
  // again, and the descriptor is no longer served.
  bool endsWithin(int ms);

 private:
  enum class Step { kWord, kSignal, kTimer, kClosed, kQuit };
  using Clock = std::chrono::steady_clock;
  // When the wait ends by itself: never, at a time, or not known yet (a
  // timer that stands still), to be asked again soon.
  struct Due {
    enum class Kind { kNever, kAt, kLater } kind = Kind::kNever;
    Clock::time_point at;
  };

  enum class Woken { kInput, kSignal, kTimer, kQuit };

  Step next(const std::function<Due()>& due, bool serve);
  // Waits until standard input (when still open) can be read, a signal has
  // arrived, a quit was asked for or the time is due, serving the watched
  // descriptor (when serve).
  Woken wait(const std::function<Due()>& due, bool serve);

  ConsoleWaits waits_;
  bool inputOpen_ = true;
  std::string word_;
  char buffer_[4096];
  std::size_t filled_ = 0;
  std::size_t next_ = 0;
};

#endif  // VELUMORA_APP_CONSOLE_H_

#ifndef VELUMORA_TESTING_CHILD_H_
#define VELUMORA_TESTING_CHILD_H_

// The built programs as end-to-end tests run them, as a user would: standard
// input is a pipe held by the test, output and error unnamed files that the
// test reads as they grow. Every wait has a deadline, past which the child is
// killed and the test fails; one still running at the end is killed. Beside
// them, the fixed texts that frame the programs' output, and which SDL 1.2
// library they run on: CTest runs the end-to-end suites again on sdl12-compat
// (through LD_LIBRARY_PATH, with VELUMORA_TEST_SDL=sdl12-compat), which
// differs in a few words and in its disk driver's rate.

#include <sys/types.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace testkit {

// Generous: the programs answer within milliseconds, but tests run in
// parallel, and under sanitizers.
constexpr int kPatienceMs = 30000;

class Child {
 public:
  // Where standard output goes: an unnamed file, or a pipe that the test
  // holds and never reads, as a reader that stopped reading.
  enum class Output { kFile, kUnreadPipe };

  // env: "NAME=value" entries over the test's own environment; dir: the
  // working directory (empty: the test's).
  Child(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
        const std::vector<std::string>& env = {}, Output output = Output::kFile);
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  bool write(const std::string& text);
  void closeInput();
  // Waits until standard output holds text.
  bool waitFor(const std::string& text);
  bool signal(int number);
  // The exit status, 128 + the signal that ended it, or -1 after a timeout.
  int wait();
  // True when the child still runs after ms milliseconds.
  bool runsAfter(int ms);
  pid_t pid() const { return pid_; }
  // Waits until the unread pipe is full (a little room may stay in its
  // last page).
  bool waitUntilOutputFull();
  // Reads at most `most` bytes of it, as a reader that reads a little.
  void readOutput(std::size_t most);

  // What it has written so far (the unread pipe: read only now, after it
  // ended, but for what readOutput() read).
  const std::string& out();
  const std::string& err();

 private:
  bool reap(bool block);
  // Polls until done() or ms have passed; what done() says at the end.
  bool until(int ms, const std::function<bool()>& done);

  pid_t pid_ = -1;
  int in_ = -1;
  int outFile_ = -1;
  int outPipe_[2] = {-1, -1};  // the unread pipe; the write end shows it full
  int errFile_ = -1;
  int status_ = -1;
  std::string out_;
  std::string err_;
};

struct Finished {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program to its end with input on its standard input, then closed.
Finished runToEnd(const std::string& program, const std::vector<std::string>& args,
                  const std::string& dir, const std::vector<std::string>& env = {},
                  const std::string& input = "");

inline constexpr char kVelumora[] = VELUMORA_BINARY;
inline constexpr char kRender[] = VELUMORA_RENDER_BINARY;
inline constexpr char kCheck[] = VELUMORA_CHECK_BINARY;

// Banner and start-up up to the first prompt, after a successful start.
inline constexpr char kStarted[] =
    "Velumora ver 1.0.1\ninitializing...done\ntype 'q' and enter to exit\n";

// Everything shutdown prints, with the given count of playing channels.
inline std::string shutdownLines(int channels) {
  return "terminating all threads...\nhalting " + std::to_string(channels) +
         " channels...done.\ncleaning memory...done\naudio closed\nvelumora is terminated\n";
}

inline bool onCompat() {
  const char* name = std::getenv("VELUMORA_TEST_SDL");
  return name != nullptr && std::string(name) == "sdl12-compat";
}

// Environment for velumora to play about in real time on SDL's disk driver
// into file. Classic SDL waits 150 ms per 23 ms buffer unless told
// otherwise; sdl12-compat keeps real time by itself, at 44.1 kHz.
inline std::vector<std::string> diskEnv(const std::string& file) {
  std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file};
  if (!onCompat()) env.push_back("SDL_DISKAUDIODELAY=23");
  return env;
}
inline int diskRate() { return onCompat() ? 44100 : 22050; }

// True in sanitizer builds, whose programs cannot start under ulimit -v.
#ifdef VELUMORA_SANITIZED
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// A playlist of count songs s0, s1, ..., each defined by body ("=(...);").
inline std::string numberedSongs(int count, const std::string& body) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "s" + std::to_string(i) + body;
  return text;
}

// The environment that plays silently.
inline const std::vector<std::string> kSilent = {"SDL_AUDIODRIVER=dummy"};

}  // namespace testkit

#endif  // VELUMORA_TESTING_CHILD_H_

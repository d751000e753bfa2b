#ifndef VELUMORA_TESTING_PROGRAMS_H_
#define VELUMORA_TESTING_PROGRAMS_H_

// The built programs as end-to-end tests run them, the fixed texts that
// frame their output, and which SDL 1.2 library they run on: CTest runs the
// end-to-end suites again on sdl12-compat (through LD_LIBRARY_PATH, with
// VELUMORA_TEST_SDL=sdl12-compat), which differs in a few words and in its
// disk driver's rate.

#include <cstdlib>
#include <string>
#include <vector>

namespace testkit {

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

// The whole output of a run whose start-up failed with these messages.
inline std::string failedStart(const std::string& messages) {
  return "Velumora ver 1.0.1\ninitializing..." + messages + "Velumora Initialization Failed\n" +
         shutdownLines(0);
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

// The environment that plays silently.
inline const std::vector<std::string> kSilent = {"SDL_AUDIODRIVER=dummy"};

}  // namespace testkit

#endif  // VELUMORA_TESTING_PROGRAMS_H_

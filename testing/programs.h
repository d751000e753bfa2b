#ifndef VELUMORA_TESTING_PROGRAMS_H_
#define VELUMORA_TESTING_PROGRAMS_H_

// The built programs as end-to-end tests run them, the fixed texts that
// frame their output, and which SDL 1.2 library they run on: CTest runs the
// end-to-end suites again on sdl12-compat (through LD_LIBRARY_PATH, with
// VELUMORA_TEST_SDL=sdl12-compat), which differs in a few words and in its
// disk driver's rate.

#include <string>
#include <vector>

namespace testkit {

extern const char kVelumora[];
extern const char kRender[];
extern const char kCheck[];

// Banner and start-up up to the first prompt, after a successful start.
extern const char kStarted[];
// Everything shutdown prints, with the given count of playing channels.
std::string shutdownLines(int channels);
// The whole output of a run whose start-up failed with these messages.
std::string failedStart(const std::string& messages);

bool onCompat();
// Environment for velumora to play about in real time on SDL's disk driver
// into file, and the rate the file is written at.
std::vector<std::string> diskEnv(const std::string& file);
int diskRate();

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

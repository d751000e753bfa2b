#ifndef VELUMORA_TESTING_HOST_H_
#define VELUMORA_TESTING_HOST_H_

// What the machine under the tests offers: which SDL 1.2 library the
// programs run on, and other programs the tests use.
//
// The same tests run against classic SDL 1.2 and against sdl12-compat (the
// SDL 1.2 API on SDL2), which Debian installs beside it and which is picked
// at run time through LD_LIBRARY_PATH. CTest entries that load sdl12-compat
// also set VELUMORA_TEST_SDL=sdl12-compat, so that a test can expect what
// that library does where the two differ.

#include <string>
#include <vector>

namespace testkit {

enum class SdlLibrary { kClassic, kCompat };

// True in a build with a sanitizer, whose programs run several times slower:
// tests that time sounds against the wall clock loosen or skip those checks.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

// From VELUMORA_TEST_SDL: "sdl12-compat" means kCompat, anything else (or
// nothing) kClassic.
SdlLibrary sdlLibrary();
const char* sdlLibraryName(SdlLibrary library);

// The patch level of the SDL library this process runs on (SDL 1.2.x):
// 15 for classic SDL, 50 and up for sdl12-compat.
int linkedSdlPatch();

// Frames per second that SDL's disk audio driver writes: classic SDL keeps
// the 22050 Hz the program asks for, sdl12-compat opens at 44100 Hz.
int diskAudioRate();

// Environment entries for a program to play on the disk driver into `file`
// at about real time (classic SDL waits 150 ms per buffer unless told
// otherwise; sdl12-compat keeps real time by itself).
std::vector<std::string> diskAudioEnv(const std::string& file);

// Absolute path of an executable found on PATH; empty when there is none.
std::string findProgram(const std::string& name);

// Runs a program (looked up on PATH) to its end with the arguments; true
// when it exits with status 0. Its output goes to `output` when given.
bool runProgram(const std::string& name, const std::vector<std::string>& args,
                std::string* output = nullptr);

}  // namespace testkit

#endif  // VELUMORA_TESTING_HOST_H_

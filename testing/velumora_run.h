#ifndef VELUMORA_TESTING_VELUMORA_RUN_H_
#define VELUMORA_TESTING_VELUMORA_RUN_H_

// Starting the built velumora program in a test's temporary directory, and
// the fixed texts that frame its output.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/temp_dir.h"

namespace testkit {

// Generous: the program normally answers within milliseconds, but tests may
// run in parallel on a loaded machine or under a sanitizer.
constexpr std::chrono::milliseconds kPatience{20000};

// Banner and start-up up to the first prompt, after a successful start.
extern const char kStartedLines[];

// Everything shutdown prints, with the given count of playing channels.
std::string shutdownLines(int channels);

// The whole output of a run whose start-up failed after printing messages
// (each ending in a line feed) right after "initializing...".
std::string failedStartOutput(const std::string& messages);

// Starts velumora in dir with the arguments. The audio driver is "dummy"
// unless env names another SDL_AUDIODRIVER; env entries are "NAME=value".
// Returns null (and the test has failed) when it could not be started.
std::unique_ptr<ChildProcess> startVelumora(const TempDir& dir,
                                            const std::vector<std::string>& args,
                                            const std::vector<std::string>& env = {});

// The lines of text, without their line feeds; a last unterminated piece
// counts as a line.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace testkit

#endif  // VELUMORA_TESTING_VELUMORA_RUN_H_

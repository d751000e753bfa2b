#include "testing/host.h"

#include <SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

#include "testing/process.h"

namespace testkit {

SdlLibrary sdlLibrary() {
  const char* name = std::getenv("VELUMORA_TEST_SDL");
  return name != nullptr && std::string(name) == "sdl12-compat" ? SdlLibrary::kCompat
                                                                : SdlLibrary::kClassic;
}

const char* sdlLibraryName(SdlLibrary library) {
  return library == SdlLibrary::kCompat ? "sdl12-compat" : "classic SDL 1.2";
}

int linkedSdlPatch() { return SDL_Linked_Version()->patch; }

int diskAudioRate() { return sdlLibrary() == SdlLibrary::kCompat ? 44100 : 22050; }

std::vector<std::string> diskAudioEnv(const std::string& file) {
  std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file};
  if (sdlLibrary() == SdlLibrary::kClassic) env.push_back("SDL_DISKAUDIODELAY=23");
  return env;
}

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    if (directory.empty()) continue;
    const std::string candidate = directory + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

bool runProgram(const std::string& name, const std::vector<std::string>& args,
                std::string* output) {
  ProcessOptions options;
  options.program = findProgram(name);
  if (options.program.empty()) return false;
  options.args = args;
  ChildProcess child(options);
  if (!child.start()) return false;
  child.closeInput();
  const int status = child.waitForExit(std::chrono::seconds(60));
  if (output != nullptr) *output = child.output() + child.errorOutput();
  return status == 0;
}

}  // namespace testkit

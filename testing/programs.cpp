#include "testing/programs.h"

#include <cstdlib>

namespace testkit {

const char kVelumora[] = VELUMORA_BINARY;
const char kRender[] = VELUMORA_RENDER_BINARY;
const char kCheck[] = VELUMORA_CHECK_BINARY;

const char kStarted[] =
    "Velumora ver 1.0.1\n"
    "initializing...done\n"
    "type 'q' and enter to exit\n";

std::string shutdownLines(int channels) {
  return "terminating all threads...\nhalting " + std::to_string(channels) +
         " channels...done.\ncleaning memory...done\naudio closed\nvelumora is terminated\n";
}

std::string failedStart(const std::string& messages) {
  return "Velumora ver 1.0.1\ninitializing..." + messages + "Velumora Initialization Failed\n" +
         shutdownLines(0);
}

bool onCompat() {
  const char* name = std::getenv("VELUMORA_TEST_SDL");
  return name != nullptr && std::string(name) == "sdl12-compat";
}

std::vector<std::string> diskEnv(const std::string& file) {
  std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file};
  // Classic SDL waits 150 ms per 23 ms buffer unless told otherwise;
  // sdl12-compat keeps real time by itself.
  if (!onCompat()) env.push_back("SDL_DISKAUDIODELAY=23");
  return env;
}

int diskRate() { return onCompat() ? 44100 : 22050; }

}  // namespace testkit

#include "app/application.h"

#include <ctime>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/console.h"
#include "app/session.h"
#include "audio/mix_clock.h"
#include "audio/sdl_mixer.h"
#include "base/console.h"
#include "base/signals.h"

namespace {

const CommandLine::Usage kUsage = {
    "velumora",
    "[--seed S] [PLAYLIST]",
    "Plays the songs of PLAYLIST (default playlist.txt) until 'q' or 'exit' is typed.\n"
    "  --seed S     seed of the random draws (default: from the clock)\n"
    "  --help       show this help\n"
    "  --version    show the version\n"};

}  // namespace

int runVelumora(int argc, char** argv) {
  ensureStandardDescriptors();
  CommandLine line(kUsage);
  uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
  line.number("--seed", 0xffffffffu, [&](uint64_t value) { seed = static_cast<uint32_t>(value); });
  const int parsed = line.parse(argc, argv);
  if (parsed != CommandLine::kRun) return parsed;
  // Further arguments are ignored.
  const std::string path = line.positional().empty() ? "playlist.txt" : line.positional()[0];

  installSignalHandlers();
  printLine("Velumora ver 1.0.1");
  auto mixer = std::make_unique<SdlMixer>();
  auto clock = std::make_unique<MixClock>(*mixer);
  Session session(std::move(mixer), std::move(clock), seed);
  printText("initializing...");
  if (!session.initialize(path)) {
    printLine("Velumora Initialization Failed");
    session.shutdown();
    return -1;
  }
  printLine("done\ntype 'q' and enter to exit");
  session.startPlayers(true);
  consoleLoop();
  session.shutdown();
  return 0;
}

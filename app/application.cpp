#include "app/application.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/console.h"
#include "app/controller.h"
#include "app/mpris_service.h"
#include "app/osc_server.h"
#include "app/playlist_checker.h"
#include "app/playlist_watcher.h"
#include "app/session.h"
#include "audio/mix_clock.h"
#include "audio/sdl_mixer.h"
#include "base/console.h"
#include "base/signals.h"

namespace {

const CommandLine::Usage kUsage = {
    "velumora", "[options] [PLAYLIST]",
    "Plays the songs of PLAYLIST (default playlist.txt) until 'q' or 'exit' is typed.\n"
    "  --seed S          seed of the random draws (default: from the clock)\n"
    "  --volume PERCENT  level of the whole mix, 0 to 400 (default 100)\n"
    "  --fade-in TIME    fade the soundscape in over TIME (such as 5, 90s or 2m)\n"
    "  --fade-out TIME   on q, a signal or the sleep timer, fade out over TIME (default 0)\n"
    "  --sleep TIME      fade out and end after TIME (such as 45m or 1h30m)\n"
    "  --watch           read the playlist again whenever it or a sample changes\n"
    "  --osc [HOST:]PORT take OSC commands on UDP PORT of HOST (default 127.0.0.1)\n"
    "  --no-mpris        do not offer the player to the desktop's media keys (MPRIS)\n"
    "  --record-control FILE  write every command that changed the mix to FILE, as a\n"
    "                    control script for velumora-render --control\n"
    "  --rate HZ         rate of the mix: 22050 (default), 44100, 48000, 96000 or any\n"
    "                    from 8000 to 192000\n"
    "  --channels N      speakers: 2 (stereo, default), 4 (quad) or 6 (5.1)\n"
    "  --help            show this help\n"
    "  --version         show the version\n"};

// A sleep timer without --fade-out still fades, over this long.
constexpr double kSleepFadeSeconds = 10;
// The longest fade and the longest sleep timer, as the manual page says.
constexpr double kLongestFadeSeconds = 24 * 3600;
constexpr double kLongestSleepSeconds = 7 * 24 * 3600;

struct Options {
  uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
  double volume = 1.0;
  double fadeIn = 0;
  double fadeOut = 0;
  bool fadeOutGiven = false;
  double sleep = -1;
  bool watch = false;
  MixFormat format;
  bool formatGiven = false;
  bool mpris = true;
  std::string oscHost, oscPort;  // no port: no OSC
  std::string record;
};

// Every file the playlist reads, for the watcher.
void watchFiles(PlaylistWatcher& watcher, const std::string& path, const SampleCache& samples) {
  watcher.watch(path);
  samples.forEachFile([&](const std::string& name, dev_t, ino_t) { watcher.watch(name); });
}

// The playlist's file name, as the desktop shows it.
std::string fileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> songNames(const Session& session) {
  std::vector<std::string> names;
  for (const auto& song : session.songs()) names.emplace_back(song->songName);
  return names;
}

// Lets the mix fade out over seconds, on the mix's own clock; a stalled
// device cannot hold the exit longer than a second beyond, and one more q or
// signal ends the fade at once: no one should wait out a long fade.
void fadeOut(SdlMixer& mixer, double seconds, Console& console) {
  if (seconds <= 0) return;
  const uint64_t from = mixer.framesMixed();
  const auto frames = static_cast<uint64_t>(seconds * mixer.rate());
  mixer.envelope().fadeOut(from, frames);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000) + 1000);
  // And a fifth of a second of silence after it, for the buffers between
  // the mix and the device (sdl12-compat converts and buffers again).
  const uint64_t end = mixer.envelope().silentFrom() + static_cast<uint64_t>(mixer.rate() / 5);
  while (mixer.framesMixed() < end && std::chrono::steady_clock::now() < deadline) {
    if (console.endsWithin(10)) return;
  }
}

}  // namespace

int runVelumora(int argc, char** argv) {
  ensureStandardDescriptors();
  CommandLine line(kUsage);
  Options options;
  line.number("--seed", 0xffffffffu, [&](uint64_t value) { options.seed = uint32_t(value); });
  line.number("--volume", 400, [&](uint64_t value) { options.volume = double(value) / 100; });
  line.duration("--fade-in", kLongestFadeSeconds,
                [&](double seconds) { options.fadeIn = seconds; });
  line.duration("--fade-out", kLongestFadeSeconds, [&](double seconds) {
    options.fadeOut = seconds;
    options.fadeOutGiven = true;
  });
  line.duration("--sleep", kLongestSleepSeconds, [&](double seconds) { options.sleep = seconds; });
  line.flag("--watch", [&] { options.watch = true; });
  line.mixFormat(options.format, options.formatGiven);
  line.flag("--no-mpris", [&] { options.mpris = false; });
  line.option("--osc", "a UDP port from 1 to 65535, or HOST:PORT", [&](const std::string& text) {
    return OscServer::parseAddress(text, options.oscHost, options.oscPort);
  });
  line.option("--record-control", "a file to write", [&](const std::string& text) {
    options.record = text;
    return !text.empty();
  });
  const int parsed = line.parse(argc, argv);
  if (parsed != CommandLine::kRun) return parsed;
  // Further arguments are ignored.
  const std::string path = line.positional().empty() ? "playlist.txt" : line.positional()[0];

  installSignalHandlers();
  // The players print as they play: a reader that stops reading must not
  // stop them, nor q and the signals.
  waitForReaders(false);
  printLine("Velumora ver 1.0.1");
  auto owned = std::make_unique<SdlMixer>(SdlMixer::Device::kDefault, options.format);
  SdlMixer& mixer = *owned;
  mixer.envelope().setVolume(options.volume);
  auto clock = std::make_unique<MixClock>(mixer);
  Session session(std::move(owned), std::move(clock), options.seed);
  printText("initializing...");
  if (!session.initialize(path)) {
    // A playlist that was read but does not grow: where its problems are, on
    // standard error, as velumora-check shows them.
    if (session.text() != nullptr) {
      PlaylistChecker(path, [](const std::string& text) {
        printOnStandardError(text);
      }).explain(session, path);
    }
    printLine("Velumora Initialization Failed");
    session.shutdown();
    return -1;
  }
  printLine("done\ntype 'q' and enter to exit");
  Controller controller(mixer, session.gains(), options.volume);
  ConsoleWaits waits;
  if (options.sleep >= 0) waits.timerMs = static_cast<int64_t>(options.sleep * 1000);
  PlaylistWatcher watcher;
  std::string error;
  if (options.watch && !watcher.ok(error)) printLine("cannot watch the playlist : " + error);
  if (options.watch && watcher.ok(error)) {
    watchFiles(watcher, path, session.samples());
    waits.fd = watcher.descriptor();
    waits.onReady = [&] {
      if (!watcher.changed()) return;
      // Problems of the edit are shown where they are, as the checker does.
      PlaylistChecker explain(path, [](const std::string& text) { printText(text); });
      if (session.reload(path, &explain.map(), &explain)) controller.setSongs(songNames(session));
      watchFiles(watcher, path, session.samples());
    };
  }
  // What cannot be opened is told before the songs' lines.
  if (!options.record.empty() && !controller.record(options.record, options.seed, error)) {
    printLine("cannot record the controls in \"" + options.record + "\" : " + error);
  }
  OscServer osc(controller);
  const std::string oscAddress = options.oscHost + ":" + options.oscPort;
  bool oscOpen = !options.oscPort.empty() && osc.open(options.oscHost, options.oscPort, error);
  if (!options.oscPort.empty() && !oscOpen) {
    printLine("cannot take OSC on " + oscAddress + " : " + error);
  }
  // Watched before the songs start, so that a save made as the first songs
  // start is seen.
  session.startPlayers(true);
  if (options.fadeIn > 0) {
    mixer.envelope().fadeIn(session.origin(), uint64_t(options.fadeIn * mixer.rate()));
  }
  controller.setOrigin(session.origin());
  controller.setSongs(songNames(session));
  // The doors open once the songs play, and close before the mixer does.
  MprisService mpris(controller, fileName(path));
  controller.onChange([&mpris] { mpris.changed(); });
  if (options.mpris) mpris.start();
  if (oscOpen && !osc.start(error)) printLine("cannot take OSC on " + oscAddress + " : " + error);
  waits.heldMs = [&controller](bool& still) { return controller.pausedMs(still); };
  waits.quitFd = controller.quitDescriptor();
  waits.onQuit = [&controller] { return controller.takeQuit(); };
  Console console(std::move(waits));
  const ConsoleEnd end = console.loop();
  controller.endCommands();
  if (end == ConsoleEnd::kTimer) {
    printLine("sleep timer: ending");
    fadeOut(mixer, options.fadeOutGiven ? options.fadeOut : kSleepFadeSeconds, console);
  } else if (!controller.state().paused) {
    // A paused mix ends as it is: there is nothing to fade.
    fadeOut(mixer, options.fadeOut, console);
  }
  osc.stop();
  mpris.stop();
  session.shutdown();
  return 0;
}

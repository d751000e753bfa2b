#include "app/checker.h"

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/playlist_checker.h"
#include "app/session.h"
#include "audio/sdl_mixer.h"
#include "audio/speaker_layout.h"
#include "base/console.h"
#include "base/signals.h"
#include "pattern/multi_pattern.h"
#include "pattern/note.h"
#include "pattern/pattern_visitor.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/song.h"
#include "pattern/wait.h"

namespace {

const CommandLine::Usage kCheckUsage = {
    "velumora-check", "[--strict] [--rate HZ] [--channels N] PLAYLIST",
    "Reads PLAYLIST and loads its samples as velumora would, shows every problem at its line\n"
    "and column, and prints every song as a tree.\n"
    "  --strict     fail on warnings too\n"
    "  --rate HZ    check for a mix at this rate, as velumora --rate plays it\n"
    "  --channels N check for 2 (stereo), 4 (quad) or 6 (5.1) speakers, and say which\n"
    "  --help       show this help\n"
    "  --version    show the version\n"};

// Deeper levels are indented no further; their lines tell their depth.
constexpr int kIndentedLevels = 40;

std::string indentFor(int depth) {
  if (depth <= kIndentedLevels) return std::string(2 * static_cast<std::size_t>(depth), ' ');
  return std::string(2 * kIndentedLevels, ' ') + "[" + std::to_string(depth) + "] ";
}

// In order with the messages, which the console writes on a thread of its own.
void writeDiagnostic(const std::string& text) { printOnStandardError(text); }

// What the sample file is, and how long it plays.
std::string formatAndSeconds(const Sound& sound, int rate) {
  if (sound.sample == nullptr || rate <= 0) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f",
                static_cast<double>(sound.sample->frames()) / static_cast<double>(rate));
  return (sound.sample->format().empty() ? "" : sound.sample->format() + ", ") + text;
}

// One line per node, a child indented below its parent; a reference is
// shown by its name and not followed, so the tree is finite.
struct TreeLines : PatternVisitor {
  int depth;
  int rate;
  std::string& out;

  TreeLines(int depth, int rate, std::string& out) : depth(depth), rate(rate), out(out) {}

  void line(const std::string& text) { out += indentFor(depth) + text + "\n"; }

  void ungrown(PatternObject& proxy) override {
    line("(not grown) \"" + std::string(proxy.text.text) + "\"");
  }
  void reference(PatternObject& proxy) override {
    line("reference " + std::string(proxy.text.text));
  }
  void note(Note& note) override {
    line("note \"" + note.sound.fileName + "\" (" + formatAndSeconds(note.sound, rate) + " s)");
  }
  void randomWait(RandomWait& wait) override {
    line("random pause " + std::to_string(wait.minimum) + " to " + std::to_string(wait.maximum) +
         " ms");
  }
  void wait(Wait& wait) override { line("pause " + std::to_string(wait.duration) + " ms"); }
  void choice(RandomPattern& choice) override {
    std::string weights;
    for (std::size_t i = 0; i < choice.weights.size(); ++i) {
      weights += (i == 0 ? "" : ":") + std::to_string(choice.weights[i]);
    }
    line("choice by weights " + weights);
    ++depth;
  }
  void sequence(MultiPattern& sequence) override {
    line("sequence of " + std::to_string(sequence.children.size()));
    ++depth;
  }
  void leave(PatternObject&) override { --depth; }
};

void describe(PatternObject* root, int rate, std::string& out) {
  TreeLines lines(2, rate, out);
  walkPatterns(root, lines, References::kNamed);
}

}  // namespace

std::string describeSong(const Song& song, int rate) {
  const std::string times = song.loops == kInfiniteLoops ? std::string("infinite")
                                                         : std::to_string(song.loops) + " time(s)";
  std::string out = "song \"" + std::string(song.songName) + "\" : " + times + ", angle " +
                    std::to_string(song.angle) + ", distance " + std::to_string(song.distance) +
                    "\n";
  out += "  _main\n";
  describe(song.pattern, rate, out);
  for (const auto& entry : song.namedPatterns) {
    out += "  " + std::string(entry->name) + "\n";
    describe(entry->pattern, rate, out);
  }
  return out;
}

int runCheck(int argc, char** argv) {
  ensureStandardDescriptors();
  CommandLine line(kCheckUsage);
  bool strict = false;
  line.flag("--strict", [&] { strict = true; });
  MixFormat format;
  bool formatGiven = false;
  line.mixFormat(format, formatGiven);
  const int parsed = line.parse(argc, argv);
  if (parsed != CommandLine::kRun) return parsed;
  if (line.positional().size() != 1) return line.fail("one playlist, please");
  const std::string& path = line.positional()[0];
  installSignalHandlers();
  // Samples are decoded for the format of the mixer as the live program
  // opens it, but nothing is played, so no sound device is needed.
  Session session(std::make_unique<SdlMixer>(SdlMixer::Device::kSilent, format), nullptr, 0);
  PlaylistChecker checker(path, writeDiagnostic);
  printLine("checking " + path);
  // The player's own messages say nothing the diagnostics do not say
  // better, on standard error; standard output keeps the trees.
  muteConsole(true);
  const bool ok = checker.check(session, path);
  muteConsole(false);
  if (formatGiven) {
    // As the mixer opened, which is what the player gets on this machine.
    const Mixer& mixer = session.mixer();
    const SpeakerLayout* layout = SpeakerLayout::of(mixer.channels());
    printLine("heard on: " + (layout != nullptr ? layout->describe() : std::string("?")) + " at " +
              std::to_string(mixer.rate()) + " Hz");
  }
  if (ok) {
    for (const auto& song : session.songs()) {
      printText(describeSong(*song, session.mixer().rate()));
    }
  }
  session.release();
  printLine(ok ? "the playlist would play" : "the playlist would not play");
  drainConsole();
  if (consoleFailed() || !ok) return 1;
  const std::size_t found = checker.errors() + checker.warnings();
  if (strict && found > 0) {
    writeDiagnostic("velumora-check: " + std::to_string(found) +
                    " problem(s), failing as --strict asks\n");
    return 1;
  }
  return 0;
}

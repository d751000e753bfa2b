#include "app/checker.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "app/application.h"
#include "app/players.h"
#include "pattern/multi_pattern.h"
#include "pattern/note.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/song.h"
#include "pattern/wait.h"
#include "playlist/console_output.h"
#include "playlist/grammar.h"

namespace {

std::string seconds(const Mix_Chunk* chunk) {
  int rate = 0;
  int channels = 0;
  Uint16 format = 0;
  if (chunk == nullptr || Mix_QuerySpec(&rate, &format, &channels) == 0) return "?";
  const int bytesPerFrame = channels * ((format & 0xff) / 8);
  char text[32];
  std::snprintf(text, sizeof text, "%.2f",
                static_cast<double>(chunk->alen) / bytesPerFrame / static_cast<double>(rate));
  return text;
}

// One line per node, below the proxy that stands for it; a reference is
// shown by its name and not followed, so the tree is finite.
void describe(const PatternObject* node, int depth, std::string& out) {
  const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
  if (typeid(*node) == typeid(PatternObject)) {
    if (node->body == nullptr) {
      out += indent + "(not grown) \"" + node->text + "\"\n";
    } else if (!node->ownsBody) {
      out += indent + "reference " + node->text + "\n";
    } else {
      describe(node->body, depth, out);
    }
    return;
  }
  if (const auto* note = dynamic_cast<const Note*>(node)) {
    out +=
        indent + "note \"" + note->sound.fileName + "\" (" + seconds(note->sound.sample) + " s)\n";
  } else if (const auto* randomWait = dynamic_cast<const RandomWait*>(node)) {
    out += indent + "random pause " + std::to_string(randomWait->minimum) + " to " +
           std::to_string(randomWait->maximum) + " ms\n";
  } else if (const auto* wait = dynamic_cast<const Wait*>(node)) {
    out += indent + "pause " + std::to_string(wait->duration) + " ms\n";
  } else if (const auto* choice = dynamic_cast<const RandomPattern*>(node)) {
    std::string weights;
    for (std::size_t i = 0; i < choice->weights.size(); ++i) {
      weights += (i == 0 ? "" : ":") + std::to_string(choice->weights[i]);
    }
    out += indent + "choice by weights " + weights + "\n";
    for (const PatternObject* child : choice->children) describe(child, depth + 1, out);
  } else if (const auto* sequence = dynamic_cast<const MultiPattern*>(node)) {
    out += indent + "sequence of " + std::to_string(sequence->children.size()) + "\n";
    for (const PatternObject* child : sequence->children) describe(child, depth + 1, out);
  }
}

}  // namespace

std::string describeSong(const Song& song) {
  const std::string times = song.loops == static_cast<uint32_t>(kInfiniteLoops)
                                ? std::string("infinite")
                                : std::to_string(song.loops) + " time(s)";
  std::string out = "song \"" + song.songName + "\" : " + times + ", angle " +
                    std::to_string(song.angle) + ", distance " + std::to_string(song.distance) +
                    "\n";
  out += "  _main\n";
  if (song.pattern != nullptr) describe(song.pattern, 2, out);
  for (const NamedPattern* entry : song.namedPatterns) {
    out += "  " + entry->name + "\n";
    describe(entry->pattern, 2, out);
  }
  return out;
}

int runCheck(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velumora-check PLAYLIST\n");
    return 2;
  }
  // Samples are decoded for the format of the mixer as the live program
  // opens it, but nothing is played, so no sound device is needed.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  printLine(std::string("checking ") + argv[1]);
  const bool ok = initialize(argv[1]);
  if (ok) {
    for (const Song* song : songList) printText(describeSong(*song));
  }
  for (Song* song : songList) delete song;
  songList.clear();
  Mix_CloseAudio();
  SDL_Quit();
  printLine(ok ? "the playlist would play" : "the playlist would not play");
  return ok ? 0 : 1;
}

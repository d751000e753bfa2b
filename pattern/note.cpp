#include "pattern/note.h"

#include <unistd.h>

#include <string>

#include "audio/sample_cache.h"
#include "base/console.h"
#include "base/problem_sink.h"
#include "pattern/song_player.h"

bool Note::growTree(GrowContext& context) {
  // The text holds exactly two double quotes, so it is at least two
  // characters long; everything between its first and last is the name.
  const std::string name(text.text.substr(1, text.text.size() - 2));
  std::string error;
  std::vector<std::string> tried;
  if (sound.load(name, context.samples, error, context.sink != nullptr ? &tried : nullptr)) {
    return true;
  }
  if (context.sink != nullptr) {
    std::string paths;
    bool exists = false;
    for (const std::string& path : tried) {
      paths += (paths.empty() ? "\"" : ", \"") + path + "\"";
      exists = exists || access(path.c_str(), F_OK) == 0;
    }
    // Where no file is, the decoder's words (SDL's "NULL src") say nothing
    // of use.
    context.sink->error(text.text,
                        exists || tried.empty() ? "cannot load sample \"" + name + "\": " + error
                                                : "no sample file \"" + name + "\" was found",
                        "tried " + (paths.empty() ? std::string("nothing") : paths));
  }
  Sound::reportLoadFailure(name, error);
  printLine("Error : Note::sound.load() returns false");
  return false;
}

void Note::setPosition(int16_t angle, uint8_t distance) { sound.setPosition(angle, distance); }

void Note::step(SongPlayer& player, uint32_t&) const {
  player.leave();
  if (!player.stopped()) player.playNote(sound);
}

#include "pattern/note.h"

#include <string>

#include "base/console.h"
#include "pattern/song_player.h"

bool Note::growTree(GrowContext& context) {
  // The text holds exactly two double quotes, so it is at least two
  // characters long; everything between its first and last is the name.
  const std::string name(text.text.substr(1, text.text.size() - 2));
  if (sound.load(name, context.samples)) return true;
  printLine("Error : Note::sound.load() returns false");
  return false;
}

void Note::setPosition(int16_t angle, uint8_t distance) { sound.setPosition(angle, distance); }

void Note::step(SongPlayer& player, uint32_t&) const {
  player.leave();
  if (!player.stopped()) player.playNote(sound);
}

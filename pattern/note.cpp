#include "pattern/note.h"

#include "pattern/stop_flag.h"
#include "playlist/console_output.h"

Note::Note(const std::string& text) : PatternObject() { this->text = text; }

bool Note::growTree() {
  // The text holds exactly two double quotes, so it is at least two
  // characters long; everything between its first and last is the name.
  const std::string name = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
  if (sound.load(name)) return true;
  printLine("Error : Note::sound.load() returns false");
  return false;
}

void Note::play() {
  if (stopRequested()) return;
  sound.play();
}

void Note::setPosition(int16_t angle, uint8_t distance) { sound.setPosition(angle, distance); }

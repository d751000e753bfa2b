#ifndef VELUMORA_PATTERN_NOTE_H_
#define VELUMORA_PATTERN_NOTE_H_

// A quoted sample file name. Growing loads the sample (once per file, through
// the sample cache); playing starts it at the song's position and returns at
// once, without waiting for the sound to end.

#include <cstdint>
#include <string>

#include "audio/sound.h"
#include "pattern/pattern_object.h"

class Note : public PatternObject {
 public:
  explicit Note(const std::string& text);

  bool growTree() override;
  void play() override;
  void setPosition(int16_t angle, uint8_t distance) override;

  Sound sound;
};

#endif  // VELUMORA_PATTERN_NOTE_H_

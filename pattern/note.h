#ifndef VELUMORA_PATTERN_NOTE_H_
#define VELUMORA_PATTERN_NOTE_H_

// A quoted sample file name. Growing loads the sample (once per file, through
// the sample cache); playing starts it at the song's position on the frame
// of the song's moment, and the song goes on at once.

#include <cstdint>

#include "audio/sound.h"
#include "pattern/pattern_object.h"

class ProblemSink;

class Note : public PatternObject {
 public:
  explicit Note(TextPiece text) : PatternObject(text) {}

  bool growTree(GrowContext& context) override;
  void setPosition(int16_t angle, uint8_t distance) override;
  void step(SongPlayer& player, uint32_t& next) const override;

  Sound sound;

 private:
  // Tells sink of a slip of typing that made this text a note (a comma left
  // out, parentheses doubled); false when it is a plain quoted name.
  bool reportSlip(ProblemSink& sink) const;
};

#endif  // VELUMORA_PATTERN_NOTE_H_

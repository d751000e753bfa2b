#ifndef VELUMORA_PATTERN_NOTE_H_
#define VELUMORA_PATTERN_NOTE_H_

// A quoted sample file name. Growing loads the sample (once per file, through
// the sample cache); playing starts it at the song's position on the frame
// of the song's moment, and the song goes on at once.

#include <cstdint>

#include "audio/sound.h"
#include "pattern/pattern_object.h"

class Note : public PatternObject {
 public:
  explicit Note(TextPiece text) : PatternObject(text) {}

  bool growTree(GrowContext& context) override;
  void accept(PatternVisitor& visitor) override;
  void setPosition(int16_t angle, uint8_t distance) override;
  void step(SongPlayer& player, uint32_t& next) const override;

  Sound sound;

 private:
  // Why a sample could not be loaded: the slip of typing that made this text
  // a note (a comma left out, parentheses doubled) when there is one, else
  // the file's own problem, with the paths tried.
  ProblemReporter::Problem failure(const std::string& name, const std::string& error,
                                   const std::vector<std::string>& tried) const;
};

#endif  // VELUMORA_PATTERN_NOTE_H_

#include "pattern/note.h"

#include <unistd.h>

#include <string>

#include "audio/sample_cache.h"
#include "audio/sample_decoder.h"
#include "pattern/pattern_visitor.h"
#include "pattern/song_player.h"

bool Note::growTree(GrowContext& context) {
  // The text holds exactly two double quotes, so it is at least two
  // characters long; everything between its first and last is the name.
  const std::string name(text.text.substr(1, text.text.size() - 2));
  std::string error;
  std::vector<std::string> tried;
  if (sound.load(name, context.samples, error, &tried)) return true;
  context.reporter.report(
      failure(name, error, tried),
      {Sound::loadFailureLine(name, error), "Error : Note::sound.load() returns false"});
  return false;
}

ProblemReporter::Problem Note::failure(const std::string& name, const std::string& error,
                                       const std::vector<std::string>& tried) const {
  constexpr ProblemReporter::Kind kError = ProblemReporter::Kind::kError;
  const std::string_view whole = text.text;
  // The player takes one pair of parentheses off a pattern; in two pairs a
  // sequence or choice with a note in it reads as one odd file name.
  if (whole.front() == '(' && whole.back() == ')') {
    return {kError, whole, "a pattern in two pairs of parentheses is read as a name",
            "remove one pair"};
  }
  if (whole.front() != '"' || whole.back() != '"') {
    // Text against a quote: a comma left out, as in ("rain.wav" 100).
    const std::size_t open = whole.find('"');
    const std::size_t close = whole.rfind('"');
    const std::string_view before = whole.substr(0, open);
    const std::string_view quoted = whole.substr(open, close + 1 - open);
    const std::string_view after = whole.substr(close + 1);
    const bool last = !after.empty();
    return {kError, last ? after : quoted,
            "a \",\" is missing between " + std::string(last ? quoted : before) + " and " +
                std::string(last ? after : quoted),
            "the parts of a sequence stand apart by commas"};
  }
  std::string paths, found;
  for (const std::string& path : tried) {
    paths += (paths.empty() ? "\"" : ", \"") + path + "\"";
    if (found.empty() && access(path.c_str(), F_OK) == 0) found = path;
  }
  // Where a file is that no decoder reads, what it is says more than the
  // decoder's words, and how to make a sample of it.
  if (!found.empty() && error == kUnrecognizedSample) {
    const SampleFileAdvice advice = unreadableSampleAdvice(found);
    if (!advice.what.empty())
      return {kError, whole, "cannot load sample \"" + name + "\": " + advice.what, advice.fix};
  }
  // Where no file is, the decoder's words (SDL's "NULL src") say nothing of
  // use.
  return {kError, whole,
          !found.empty() || tried.empty() ? "cannot load sample \"" + name + "\": " + error
                                          : "no sample file \"" + name + "\" was found",
          "tried " + (paths.empty() ? std::string("nothing") : paths)};
}

void Note::setPosition(int16_t angle, uint8_t distance) { sound.setPosition(angle, distance); }

void Note::step(SongPlayer& player, uint32_t&) const {
  player.leave();
  if (!player.stopped()) player.playNote(sound);
}

void Note::accept(PatternVisitor& visitor) { visitor.note(*this); }

#include "playlist/grammar.h"

#include <string>

#include "base/console.h"
#include "base/signals.h"
#include "base/text_division.h"
#include "pattern/pattern_object.h"
#include "pattern/song.h"

namespace {

std::string str(const TextPiece& piece) { return std::string(piece.text); }

}  // namespace

bool buildSongs(const std::shared_ptr<const BalancedText>& text, SampleCache& samples,
                std::vector<std::unique_ptr<Song>>& songs) {
  int32_t loops = 1;
  int16_t angle = 0;
  uint8_t distance = 100;
  std::vector<std::vector<TextPiece>> statements;
  if (!devideDevide(*text, text->whole(), ';', '=', statements)) {
    printLine("Unable to devide \"" + text->text() +
              "\" by \"=\" then by \";\"\nString must be this form n1:n2:...=x1:x2:...");
  }
  for (std::vector<TextPiece>& statement : statements) {
    if (signalArrived(0)) {
      printLine("start-up interrupted");
      return false;
    }
    if (statement.size() < 2) {
      printLine("can't create Song " + (statement.empty() ? std::string() : str(statement[0])));
      return false;
    }
    const TextPiece name = statement[0];
    TextPiece body = statement[1];
    std::unique_ptr<Song> song = combinePattern(text, name, body, loops, angle, distance);
    if (song == nullptr) {
      printLine("can't create Song " + str(name));
      return false;
    }
    if (!song->growTree(samples)) {
      printLine(str(name) + " : growTree error");
      return false;
    }
    song->setPosition(angle, distance);
    song->loops = static_cast<uint32_t>(loops);
    songs.push_back(std::move(song));
  }
  return true;
}

std::unique_ptr<Song> combinePattern(const std::shared_ptr<const BalancedText>& text,
                                     TextPiece name, TextPiece& body, int32_t& loops,
                                     int16_t& angle, uint8_t& distance) {
  auto song = std::make_unique<Song>(text);
  song->body = body;
  stripParentheses(body);
  std::vector<std::vector<TextPiece>> entries;
  if (!devideDevide(*text, body, ';', '=', entries)) {
    printLine("devideDevide() failed : " + str(body) + " \";\" and \"=\"");
    return nullptr;
  }
  for (std::vector<TextPiece>& entry : entries) {
    if (entry.size() != 2) {
      printLine("Error in combinePattern() : lst_str.size() != 2");
      for (const TextPiece& piece : entry) printLine("\tlst_str is : \"" + str(piece) + "\"");
      return nullptr;
    }
    const std::string_view key = entry[0].text;
    TextPiece& value = entry[1];
    if (key == "_main") {
      song->songName = name.text;
      // A later "_main" replaces an earlier one, which is never grown.
      delete song->pattern;
      song->pattern = new PatternObject(value);
    } else if (key == "_param") {
      if (!parseParam(value, loops, angle, distance)) printLine("parameters set to default");
    } else {
      song->addNamedPattern(key, new PatternObject(value));
    }
  }
  return song;
}

bool parseParam(TextPiece& value, int32_t& loops, int16_t& angle, uint8_t& distance) {
  stripParentheses(value);
  std::vector<std::string_view> pieces;
  forEachPiece(value.text, ",", [&](std::size_t begin, std::size_t end) {
    pieces.push_back(value.text.substr(begin, end - begin));
  });
  if (pieces.size() < 3) {
    printLine("too few arguments for param");
    printLine("playlist.txt is set to parameter");
    return false;
  }
  bool accepted = true;
  if (pieces[0] == "_infinite") {
    loops = static_cast<int32_t>(kInfiniteLoops);
  } else {
    loops = readNumber(pieces[0]);
    if (loops < 0 || loops > 998) {
      printLine("can't understand as number of times loop \"" + std::to_string(loops) + "\"");
      printLine("number of times loop set to 1");
      loops = 1;
      accepted = false;
    }
  }
  const int32_t degrees = readNumber(pieces[1]);
  if (degrees < 0 || degrees > 360) {
    printLine("can't understand as angle \"" + std::to_string(degrees) + "\"");
    angle = 0;
    accepted = false;
  } else {
    angle = static_cast<int16_t>(degrees);
  }
  const int32_t far = readNumber(pieces[2]);
  if (far < 0 || far > 255) {
    printLine("can't understand as distance " + std::to_string(far) + ", must be 0-255.");
    distance = 100;
    accepted = false;
  } else {
    distance = static_cast<uint8_t>(far);
  }
  return accepted;
}

#include "playlist/grammar.h"

#include <utility>

#include "pattern/pattern_object.h"
#include "pattern/song.h"
#include "playlist/console_output.h"
#include "playlist/text_division.h"

bool buildSongs(const std::string& text, std::vector<Song*>& songs) {
  int32_t loops = 1;
  int16_t angle = 0;
  uint8_t distance = 100;
  std::vector<StringList> statements;
  if (!devideDevide(text, ";", "=", statements)) {
    printLine("Unable to devide \"" + text +
              "\" by \"=\" then by \";\"\nString must be this form n1:n2:...=x1:x2:...");
  }
  for (StringList& statement : statements) {
    if (statement.size() < 2) {
      printLine("can't create Song " + (statement.empty() ? std::string() : statement[0]));
      return false;
    }
    const std::string& name = statement[0];
    std::string body = std::move(statement[1]);
    Song* song = combinePattern(name, body, loops, angle, distance);
    if (song == nullptr) {
      printLine("can't create Song " + name);
      return false;
    }
    if (!song->growTree()) {
      printLine(name + " : growTree error");
      delete song;
      return false;
    }
    song->setPosition(angle, distance);
    song->angle = angle;
    song->distance = distance;
    song->loops = static_cast<uint32_t>(loops);
    songs.push_back(song);
  }
  return true;
}

Song* combinePattern(const std::string& name, std::string& body, int32_t& loops, int16_t& angle,
                     uint8_t& distance) {
  Song* song = new Song;
  stripParentheses(body);
  std::vector<StringList> entries;
  if (!devideDevide(body, ";", "=", entries)) {
    printLine("devideDevide() failed : " + body + " \";\" and \"=\"");
    delete song;
    return nullptr;
  }
  for (StringList& entry : entries) {
    if (entry.size() != 2) {
      printLine("Error in combinePattern() : lst_str.size() != 2");
      for (const std::string& piece : entry) printLine("\tlst_str is : \"" + piece + "\"");
      delete song;
      return nullptr;
    }
    const std::string& key = entry[0];
    std::string& value = entry[1];
    if (key == "_main") {
      song->songName = name;
      // A later "_main" replaces an earlier one, which is never grown.
      delete song->pattern;
      song->pattern = new PatternObject(std::move(value));
    } else if (key == "_param") {
      if (!parseParam(value, loops, angle, distance)) printLine("parameters set to default");
    } else {
      song->addNamedPattern(key, new PatternObject(std::move(value)));
    }
  }
  return song;
}

bool parseParam(std::string& value, int32_t& loops, int16_t& angle, uint8_t& distance) {
  stripParentheses(value);
  StringList pieces;
  divide(value, ",", pieces, false);
  if (pieces.size() < 3) {
    printLine("too few arguments for param");
    printLine("playlist.txt is set to parameter");
    return false;
  }
  bool accepted = true;
  if (pieces[0] == "_infinite") {
    loops = kInfiniteLoops;
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

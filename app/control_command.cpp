#include "app/control_command.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

bool isBlankOrLineEnd(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits text into words; a word in double quotes may hold anything, with
// \" and \\ for a quote and a backslash. False when a quote is not closed.
bool words(std::string_view text, std::vector<std::string>& out) {
  std::size_t at = 0;
  for (;;) {
    while (at < text.size() && isBlankOrLineEnd(text[at])) ++at;
    if (at == text.size()) return true;
    std::string word;
    if (text[at] != '"') {
      while (at < text.size() && !isBlankOrLineEnd(text[at])) word += text[at++];
      out.push_back(std::move(word));
      continue;
    }
    for (++at;; ++at) {
      if (at == text.size()) return false;
      if (text[at] == '"') break;
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      word += text[at];
    }
    ++at;
    out.push_back(std::move(word));
  }
}

bool needsQuotes(const std::string& name) {
  if (name.empty() || name[0] == '"') return true;
  for (char c : name) {
    if (isBlankOrLineEnd(c)) return true;
  }
  return false;
}

std::string quoted(const std::string& name) {
  if (!needsQuotes(name)) return name;
  std::string out = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

bool ControlCommand::readLevel(std::string_view text, double& level) {
  const std::string copy(text);
  if (copy.empty() || !(std::isdigit(static_cast<unsigned char>(copy[0])) || copy[0] == '.')) {
    return false;
  }
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value) || value < 0 || value > kMostLevel) return false;
  level = value;
  return true;
}

bool ControlCommand::parse(std::string_view text, ControlCommand& command, std::string& error) {
  std::vector<std::string> w;
  if (!words(text, w)) {
    error = "a quote is not closed";
    return false;
  }
  const std::string levelWanted = "a level from 0 to 4 (1 is the samples' own)";
  command = ControlCommand();
  if (w.size() == 1 && (w[0] == "pause" || w[0] == "play" || w[0] == "quit")) {
    command.kind = w[0] == "pause" ? Kind::kPause : w[0] == "play" ? Kind::kPlay : Kind::kQuit;
    return true;
  }
  if (!w.empty() && w[0] == "volume") {
    command.kind = Kind::kVolume;
    if (w.size() == 2 && readLevel(w[1], command.value)) return true;
    error = "volume needs " + levelWanted;
    return false;
  }
  if (!w.empty() && w[0] == "song") {
    if (w.size() == 4 && w[2] == "volume") {
      command.kind = Kind::kSongVolume;
      command.song = w[1];
      if (readLevel(w[3], command.value)) return true;
      error = "a song's volume needs " + levelWanted;
      return false;
    }
    if (w.size() == 4 && w[2] == "mute") {
      command.kind = Kind::kSongMute;
      command.song = w[1];
      if (w[3] == "0" || w[3] == "1") {
        command.value = w[3] == "1" ? 1 : 0;
        return true;
      }
      error = "mute needs 1 (mute) or 0 (hear it again)";
      return false;
    }
    error = "a song's command is: song NAME volume LEVEL, or song NAME mute 1 or 0";
    return false;
  }
  error = w.empty() ? "no command" : "unknown command \"" + w[0] + "\"";
  error += " (the commands: pause, play, volume, song, quit)";
  return false;
}

std::string ControlCommand::text() const {
  switch (kind) {
    case Kind::kPause:
      return "pause";
    case Kind::kPlay:
      return "play";
    case Kind::kVolume:
      return "volume " + number(value);
    case Kind::kSongVolume:
      return "song " + quoted(song) + " volume " + number(value);
    case Kind::kSongMute:
      return "song " + quoted(song) + " mute " + (value != 0 ? "1" : "0");
    case Kind::kQuit:
      return "quit";
    case Kind::kToggle:
    case Kind::kStatus:
      break;
  }
  return "";
}

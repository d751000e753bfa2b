#include "app/osc_protocol.h"

#include <lo/lo.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "app/controller.h"

namespace {

constexpr char kBundle[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
constexpr char kPrefix[] = "/velumora/";
constexpr char kSongPrefix[] = "/velumora/song/";

struct MessageDeleter {
  void operator()(lo_message message) const { lo_message_free(message); }
};
using Message = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageDeleter>;

uint32_t bigEndian32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The argument's value; liblo lays arguments out four bytes apart, so an
// argument of eight bytes may not be aligned for a read as lo_arg.
template <typename T>
T valueOf(const lo_arg* arg) {
  T value;
  std::memcpy(&value, arg, sizeof value);
  return value;
}

// The one number a message carries; false when it carries other than one,
// or one that is not a number.
bool number(lo_message message, double& value) {
  if (lo_message_get_argc(message) != 1) return false;
  const char type = lo_message_get_types(message)[0];
  const lo_arg* arg = lo_message_get_argv(message)[0];
  switch (type) {
    case LO_INT32:
      value = valueOf<int32_t>(arg);
      return true;
    case LO_INT64:
      value = static_cast<double>(valueOf<int64_t>(arg));
      return true;
    case LO_FLOAT:
      value = valueOf<float>(arg);
      return true;
    case LO_DOUBLE:
      value = valueOf<double>(arg);
      return true;
    case LO_TRUE:
      value = 1;
      return true;
    case LO_FALSE:
      value = 0;
      return true;
    default:
      return false;
  }
}

// Whether the song's name is the pattern, or matches it as an OSC pattern.
// The matcher tries every place for each '*': a pattern with more of them
// than a person writes is taken as a name, so that no packet can keep the
// thread busy.
bool matches(const std::string& name, const std::string& pattern) {
  if (name == pattern) return true;
  if (pattern.find_first_of("*?[{") == std::string::npos || pattern.size() > 256) return false;
  int stars = 0;
  for (char c : pattern) stars += c == '*';
  return stars <= 3 && lo_pattern_match(name.c_str(), pattern.c_str()) != 0;
}

bool isLevel(double value) {
  return std::isfinite(value) && value >= 0 && value <= ControlCommand::kMostLevel;
}

std::string serialised(lo_message message, const char* path) {
  std::size_t size = 0;
  void* bytes = lo_message_serialise(message, path, nullptr, &size);
  if (bytes == nullptr) return "";
  std::string out(static_cast<const char*>(bytes), size);
  std::free(bytes);
  return out;
}

// Printable, and not too long for a line.
std::string shown(const std::string& text) {
  std::string out;
  for (char c : text.substr(0, 80)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return text.size() > 80 ? out + "..." : out;
}

}  // namespace

void OscProtocol::handle(const uint8_t* data, std::size_t size, std::vector<std::string>& replies,
                         std::vector<std::string>& complaints) {
  element(data, size, 0, replies, complaints);
}

void OscProtocol::element(const uint8_t* data, std::size_t size, int depth,
                          std::vector<std::string>& replies, std::vector<std::string>& complaints) {
  if (size < sizeof kBundle || std::memcmp(data, kBundle, sizeof kBundle) != 0) {
    return message(data, size, replies, complaints);
  }
  // A bundle: its time tag, then elements, each after its size. Its
  // messages are carried out as they come.
  if (depth >= kDeepestBundle || size < 16) {
    complaints.push_back(depth >= kDeepestBundle ? "a bundle nested too deep"
                                                 : "a malformed bundle");
    return;
  }
  for (std::size_t at = 16; at < size;) {
    if (size - at < 4) {
      complaints.push_back("a malformed bundle");
      return;
    }
    const uint32_t length = bigEndian32(data + at);
    at += 4;
    if (length > size - at || length % 4 != 0) {
      complaints.push_back("a malformed bundle");
      return;
    }
    element(data + at, length, depth + 1, replies, complaints);
    at += length;
  }
}

void OscProtocol::message(const uint8_t* data, std::size_t size, std::vector<std::string>& replies,
                          std::vector<std::string>& complaints) {
  // liblo swaps the bytes of the copy it keeps; ours stays as it came.
  std::string copy(reinterpret_cast<const char*>(data), size);
  int result = 0;
  const Message read(size == 0 ? nullptr : lo_message_deserialise(copy.data(), size, &result));
  if (read == nullptr) {
    complaints.push_back("a malformed message");
    return;
  }
  // Read and checked by liblo: a terminated string at the start.
  const std::string path(copy.c_str());
  using Kind = ControlCommand::Kind;
  ControlCommand command;
  double value = 0;
  if (path.compare(0, sizeof kPrefix - 1, kPrefix) != 0) {
    complaints.push_back("unknown address " + shown(path));
    return;
  }
  const std::string what = path.substr(sizeof kPrefix - 1);
  if (what == "pause" || what == "play" || what == "quit" || what == "status") {
    if (what == "status") return status(replies);
    command.kind = what == "pause" ? Kind::kPause : what == "play" ? Kind::kPlay : Kind::kQuit;
    controller_.run(command);
    return;
  }
  if (what == "volume") {
    if (!number(read.get(), value) || !isLevel(value)) {
      complaints.push_back(shown(path) + " needs one level from 0 to 4");
      return;
    }
    command.kind = Kind::kVolume;
    command.value = value;
    controller_.run(command);
    return;
  }
  const std::size_t slash = path.rfind('/');
  const std::string last = path.substr(slash + 1);
  if (path.compare(0, sizeof kSongPrefix - 1, kSongPrefix) != 0 || slash < sizeof kSongPrefix ||
      (last != "volume" && last != "mute")) {
    complaints.push_back("unknown address " + shown(path));
    return;
  }
  const std::string pattern = path.substr(sizeof kSongPrefix - 1, slash - (sizeof kSongPrefix - 1));
  command.kind = last == "volume" ? Kind::kSongVolume : Kind::kSongMute;
  if (!number(read.get(), value) || (last == "volume" ? !isLevel(value) : !std::isfinite(value))) {
    complaints.push_back(
        shown(path) + (last == "volume" ? " needs one level from 0 to 4" : " needs 1 (mute) or 0"));
    return;
  }
  command.value = last == "volume" ? value : value != 0 ? 1 : 0;
  std::set<std::string> done;
  for (const Controller::SongState& song : controller_.state().songs) {
    // A name given twice is one song to the controller.
    if (!matches(song.name, pattern) || !done.insert(song.name).second) continue;
    command.song = song.name;
    controller_.run(command);
  }
  if (done.empty()) complaints.push_back("no song is named " + shown(pattern));
}

void OscProtocol::status(std::vector<std::string>& replies) {
  const Controller::State state = controller_.state();
  const Message mix(lo_message_new());
  if (mix == nullptr) return;
  lo_message_add_string(mix.get(), state.paused ? "paused" : "playing");
  lo_message_add_float(mix.get(), static_cast<float>(state.volume));
  lo_message_add_int32(mix.get(), static_cast<int32_t>(state.songs.size()));
  replies.push_back(serialised(mix.get(), "/velumora/status"));
  for (const Controller::SongState& song : state.songs) {
    const Message line(lo_message_new());
    if (line == nullptr) return;
    lo_message_add_string(line.get(), song.name.c_str());
    lo_message_add_float(line.get(), static_cast<float>(song.volume));
    lo_message_add_int32(line.get(), song.muted ? 1 : 0);
    replies.push_back(serialised(line.get(), "/velumora/status/song"));
  }
}

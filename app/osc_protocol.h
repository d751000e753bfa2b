#ifndef VELUMORA_APP_OSC_PROTOCOL_H_
#define VELUMORA_APP_OSC_PROTOCOL_H_

// What an OSC packet asks of the player. liblo reads each message (and
// each message of a bundle, at once, whatever its time tag); these become
// commands to the controller:
//
//   /velumora/pause                   /velumora/play
//   /velumora/volume f                the whole mix, 0 to 4
//   /velumora/song/NAME/volume f      a song's level, 0 to 4
//   /velumora/song/NAME/mute i        1 mutes, 0 hears it again
//   /velumora/quit
//   /velumora/status                  answered to the sender
//
// A number may come as i, h, f or d (and a mute as T or F). NAME may be an
// OSC pattern (/velumora/song/*/mute 1 mutes every song). The status answer
// is one /velumora/status message (s "playing" or "paused", f the mix's
// level, i the number of songs), then one /velumora/status/song message for
// each song (s its name, f its level, i 1 when muted). Anything else is
// ignored with a complaint for the caller to tell.
//
// Nothing a packet holds reaches further than this: its size and nesting
// are bounded, and every field is checked (liblo's and ours) before use.
// One thread at a time; fuzzed by fuzz/osc_fuzzer.cpp.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Controller;

class OscProtocol {
 public:
  // Bundles within bundles, at most.
  static constexpr int kDeepestBundle = 8;

  explicit OscProtocol(Controller& controller) : controller_(controller) {}

  // Carries out what the packet asks. replies gets the packets to send back
  // to its sender; complaints what was ignored, one line each.
  void handle(const uint8_t* data, std::size_t size, std::vector<std::string>& replies,
              std::vector<std::string>& complaints);

 private:
  void element(const uint8_t* data, std::size_t size, int depth, std::vector<std::string>& replies,
               std::vector<std::string>& complaints);
  void message(const uint8_t* data, std::size_t size, std::vector<std::string>& replies,
               std::vector<std::string>& complaints);
  void status(std::vector<std::string>& replies);

  Controller& controller_;
};

#endif  // VELUMORA_APP_OSC_PROTOCOL_H_

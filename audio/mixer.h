#ifndef VELUMORA_AUDIO_MIXER_H_
#define VELUMORA_AUDIO_MIXER_H_

// The sound output as the rest of the program sees it: opening and closing
// the device, decoding sample files for it, and starting a sample on an exact
// frame of the mix at an angle and distance. Abstract so that the pattern
// tree, the players and the session can be tested against a mixer that only
// records what would be heard; SDL and SDL_mixer are called only behind it
// (SdlMixer).
//
// open(), decode(), playingChannels(), haltAll(), close() and quit() are
// called on the main thread; start() and framesMixed() from any thread.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/sample.h"

class PlayReport;

// One note to start.
struct NoteStart {
  const Sample* sample = nullptr;
  const std::string* fileName = nullptr;  // for messages
  uint64_t frame = 0;                     // frame of the mix on which it begins
  int16_t angle = 0;
  uint8_t distance = 100;
  PlayReport* report = nullptr;  // where a refusal is told
  // Notes of one frame start in the order of (song, sequence).
  uint32_t song = 0;
  uint64_t sequence = 0;
};

class Mixer {
 public:
  virtual ~Mixer() = default;

  // Initialises the sound system and opens the device; false after printing
  // what failed.
  virtual bool open() = 0;
  // Frames per second of the mix, and frames per mixer buffer.
  virtual int rate() const = 0;
  virtual uint32_t bufferFrames() const = 0;

  // Decodes a sample file for this mixer; false with the reason in error.
  virtual bool decode(const std::string& path, std::shared_ptr<const Sample>& sample,
                      std::string& error) = 0;

  // Starts a note on its frame; a note whose frame has passed starts at once.
  // The sample must outlive the play (samples live until after haltAll()).
  virtual void start(const NoteStart& note) = 0;
  // Frames mixed so far: the clock that songs keep time by.
  virtual uint64_t framesMixed() const = 0;

  // Channels that are playing now.
  virtual int playingChannels() = 0;
  // Forgets notes not yet started, halts every channel and releases them.
  virtual void haltAll() = 0;
  virtual void close() = 0;
  virtual void quit() = 0;
};

#endif  // VELUMORA_AUDIO_MIXER_H_

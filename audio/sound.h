#ifndef VELUMORA_AUDIO_SOUND_H_
#define VELUMORA_AUDIO_SOUND_H_

// One sample file and where it sounds. load() runs on the main thread during
// start-up and goes through the sample cache, so Sounds naming one file share
// one decoded sample. setPosition() stores the angle and distance that every
// later play uses. The sample is started by the player of the Sound's song
// (SongPlayer), through the mixer.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/sample.h"

class SampleCache;

class Sound {
 public:
  // False, with the reason in error, when the sample cannot be loaded; tried,
  // when given, gets the paths looked at (SampleCache::load()).
  bool load(const std::string& name, SampleCache& cache, std::string& error,
            std::vector<std::string>* tried);
  // The line that tells that a sample cannot be loaded.
  static std::string loadFailureLine(const std::string& name, const std::string& error);
  void setPosition(int16_t angle, uint8_t distance);

  std::string fileName;
  // The same name, for the notes that outlive this Sound in the mixer.
  std::shared_ptr<const std::string> sharedFileName;
  std::shared_ptr<const Sample> sample;
  int16_t angle = 0;
  uint8_t distance = 100;
};

#endif  // VELUMORA_AUDIO_SOUND_H_

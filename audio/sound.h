#ifndef VELUMORA_AUDIO_SOUND_H_
#define VELUMORA_AUDIO_SOUND_H_

// One sample file and where it sounds. load() runs on the main thread during
// start-up and goes through the sample cache: the first Sound to load a file
// owns the decoded sample and frees it; later ones share it. play() runs on
// a player thread and starts the sample on any free mixer channel at the
// stored angle and distance; several threads may play at once. A Sound is
// destroyed only after every channel has been halted.

#include <cstdint>
#include <string>

struct Mix_Chunk;

class Sound {
 public:
  Sound();
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  ~Sound();

  bool load(const std::string& name);
  bool play();
  void setPosition(int16_t angle, uint8_t distance);

  std::string fileName;
  // The mixer's output format, for reference; playing does not use it.
  int frequency = 22050;
  uint16_t format = 0x8010;
  int channels = 2;
  int chunkSize = 512;
  Mix_Chunk* sample = nullptr;
  int16_t angle = 0;
  uint8_t distance = 100;
  bool ownsSample = true;
};

#endif  // VELUMORA_AUDIO_SOUND_H_

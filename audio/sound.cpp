#include "audio/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "audio/sample_cache.h"
#include "playlist/console_output.h"

Sound::Sound() = default;

Sound::~Sound() {
  if (sample != nullptr && ownsSample) Mix_FreeChunk(sample);
}

bool Sound::load(const std::string& name) {
  sample = sampleCache.lookup(name);
  if (sample != nullptr) {
    ownsSample = false;
  } else {
    sample = Mix_LoadWAV_RW(SDL_RWFromFile(name.c_str(), "rb"), 1);
    if (sample == nullptr) {
      printLine(" : Unable to Open Audio File : \"" + name + "\" : " + SDL_GetError());
      return false;
    }
    ownsSample = true;
    sampleCache.add(sample, name);
  }
  fileName = name;
  Mix_QuerySpec(&frequency, &format, &channels);
  return true;
}

bool Sound::play() {
  // Starting the channel and placing it happen under the audio lock, so the
  // mixer never plays a buffer of this sound at the centre, and no other
  // thread can take the channel in between if the sound ends at once. Only
  // the two mixer calls and the error text are done while holding it.
  SDL_LockAudio();
  const int channel = Mix_PlayChannelTimed(-1, sample, 0, -1);
  const bool started = channel != -1;
  const bool placed = started && Mix_SetPosition(channel, angle, distance) != 0;
  const std::string error = (started && placed) ? std::string() : SDL_GetError();
  SDL_UnlockAudio();
  if (!started) {
    printLine(fileName + " : Unable to play channel : " + error);
    return false;
  }
  if (!placed) printLine("Mix_SetPosition Failed : " + error);
  return true;
}

void Sound::setPosition(int16_t angle, uint8_t distance) {
  this->angle = angle;
  this->distance = distance;
}

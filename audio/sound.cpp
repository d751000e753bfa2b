#include "audio/sound.h"

#include "audio/sample_cache.h"
#include "base/console.h"

bool Sound::load(const std::string& name, SampleCache& cache) {
  std::string error;
  sample = cache.load(name, error);
  if (sample == nullptr) {
    printLine(" : Unable to Open Audio File : \"" + name + "\" : " + error);
    return false;
  }
  fileName = name;
  return true;
}

void Sound::setPosition(int16_t angle, uint8_t distance) {
  this->angle = angle;
  this->distance = distance;
}

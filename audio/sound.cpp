#include "audio/sound.h"

#include "audio/sample_cache.h"

bool Sound::load(const std::string& name, SampleCache& cache, std::string& error,
                 std::vector<std::string>* tried) {
  sample = cache.load(name, error, tried);
  if (sample == nullptr) return false;
  fileName = name;
  sharedFileName = std::make_shared<const std::string>(name);
  return true;
}

std::string Sound::loadFailureLine(const std::string& name, const std::string& error) {
  return " : Unable to Open Audio File : \"" + name + "\" : " + error;
}

void Sound::setPosition(int16_t angle, uint8_t distance) {
  this->angle = angle;
  this->distance = distance;
}

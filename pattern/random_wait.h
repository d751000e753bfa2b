#ifndef VELUMORA_PATTERN_RANDOM_WAIT_H_
#define VELUMORA_PATTERN_RANDOM_WAIT_H_

// A pause of a random length between two bounds, drawn anew at every play.

#include <cstdint>
#include <string>

#include "pattern/random_source.h"
#include "pattern/wait.h"

class RandomWait : public Wait {
 public:
  explicit RandomWait(const std::string& text);

  bool growTree() override;
  void play() override;

  int32_t minimum = 0;
  int32_t maximum = 0;
  RandomSource random;
};

#endif  // VELUMORA_PATTERN_RANDOM_WAIT_H_

#ifndef VELUMORA_TESTING_OSC_H_
#define VELUMORA_TESTING_OSC_H_

// OSC packets made with liblo, as a desk or a phone sends them.

#include <string>
#include <vector>

namespace testkit {

// A message to path with the given arguments, each a type letter and its
// value: "f0.5", "d2", "i1", "s...", "T", "F".
std::string oscMessage(const char* path, const std::vector<std::string>& args = {});

}  // namespace testkit

#endif  // VELUMORA_TESTING_OSC_H_

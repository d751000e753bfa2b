// Arbitrary bytes as one OSC packet, through everything the OSC door does
// with it: liblo's reading of its messages and bundles, the addresses, the
// arguments, song patterns, the commands to a controller over a mixer that
// only records, and the status answer. VELUMORA_FUZZ_VERBOSE shows what the
// commands print.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/osc_protocol.h"
#include "pattern/song_gains.h"
#include "testing/fakes.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::getenv("VELUMORA_FUZZ_VERBOSE") == nullptr) std::freopen("/dev/null", "w", stdout);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  testkit::FakeMixer mixer;
  SongGains gains;
  // A fresh controller each time: a quit would otherwise end every command
  // after it.
  Controller controller(mixer, gains, 1.0);
  controller.setSongs({"rain", "wind", "a/b", "*", ""});
  OscProtocol protocol(controller);
  std::vector<std::string> replies, complaints;
  protocol.handle(data, size, replies, complaints);
  return 0;
}

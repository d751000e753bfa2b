// Sample files built from the fuzzer's bytes into the real loader: the first
// byte chooses a WAV, VOC or AIFF header, or none; the next bytes fill its
// fields (rate, channels, bits, encoding, declared lengths, block kinds), and
// the rest is the data. So most inputs get past the magic numbers and reach
// the header checks, SDL_mixer's decoders and the resampler. The mixer is
// opened once, on the dummy audio driver.

#include <SDL.h>
#include <SDL_mixer.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/sample_decoder.h"
#include "testing/wav.h"

namespace {

using testkit::be;
using testkit::le;

std::string path;

// The input, read a little-endian field at a time; zeros past its end.
struct Reader {
  const uint8_t* data;
  std::size_t size, at = 0;
  uint64_t take(int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t{at < size ? data[at++] : 0u} << (8 * i);
    return value;
  }
  std::string rest() { return std::string(data + at, data + size); }
};

std::string wav(Reader& in) {
  const uint64_t tag = in.take(1) % 3 == 0 ? 1 : in.take(2), channels = in.take(1),
                 rate = in.take(4), bits = in.take(1), declared = in.take(4);
  return testkit::wavFile(tag, channels, rate, bits, in.rest(), declared % 2 == 0 ? -1 : declared);
}

std::string voc(Reader& in) {
  // A few blocks: kind, declared length, then their bytes.
  std::string blocks;
  for (int block = 0; block < 3; ++block) {
    const uint64_t kind = in.take(1) % 10, length = in.take(2);
    blocks += static_cast<char>(kind) + le(length, 3);
    for (uint64_t i = 0; i < std::min<uint64_t>(length, 64); ++i)
      blocks += static_cast<char>(in.take(1));
  }
  return testkit::vocFile(blocks + in.rest());
}

std::string aiff(Reader& in) {
  const uint64_t channels = in.take(1), frames = in.take(4), bits = in.take(1);
  const std::string rate80 = be(in.take(2), 2) + be(in.take(8), 8), data = in.rest();
  return testkit::aiffFile(channels, frames, bits, rate80,
                           "SSND" + be(8 + data.size(), 4) + be(0, 8) + data);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  char pattern[] = "/tmp/velumora-sample-fuzz-XXXXXX";
  const int fd = mkstemp(pattern);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512) != 0 || fd < 0)
    std::abort();
  close(fd);
  path = pattern;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Reader in{data, size};
  std::string (*const build[])(Reader&) = {wav, voc, aiff};
  const uint64_t kind = in.take(1) % 4;
  const std::string file = kind < 3 ? build[kind](in) : in.rest();
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  DecodedSample decoded;
  std::string error;
  decodeSample(path, 22050, decoded, error);
  return 0;
}

// Sample files from the fuzzer's bytes into the real loader: the header
// checks, SDL_mixer's decoders and the resampler. fuzz/run.sh seeds it with
// small files of every format the program reads, so most inputs are near a
// real header. The mixer is opened once, on the dummy audio driver.

#include <SDL.h>
#include <SDL_mixer.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/sample_decoder.h"

static std::string path;

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
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  DecodedSample decoded;
  std::string error;
  decodeSample(path, 22050, decoded, error);
  return 0;
}

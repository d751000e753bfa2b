// Sample files from the fuzzer's bytes into the real loader: libsndfile, the
// layouts made for what it reads only in part (VOC in blocks, WAV without
// pad bytes), the mix-down, the limiter and the resampler. fuzz/run.sh seeds
// it with small files of every format the program reads, so most inputs are
// near a real header.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/sample_decoder.h"

static std::string path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/velumora-sample-fuzz-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
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
  DecodeOptions options;
  options.leadFrames = 512;
  decodeSample(path, 22050, decoded, error, options);
  unreadableSampleAdvice(path);
  return 0;
}

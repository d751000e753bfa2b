// Sample files built from the fuzzer's bytes into the real loader: the first
// byte chooses a WAV, VOC or AIFF header, or none; the next bytes fill its
// fields (rate, channels, bits, encoding, declared lengths, block kinds), and
// the rest is the data. So most inputs get past the magic numbers and reach
// the header checks, SDL_mixer's decoders and the resampler. The mixer is
// opened once, on the dummy audio driver.

#include <SDL.h>
#include <SDL_mixer.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/sample_decoder.h"

namespace {

std::string path;

class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint64_t take(int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t{at_ < size_ ? data_[at_++] : 0u} << (8 * i);
    return value;
  }
  std::string rest() const {
    return std::string(reinterpret_cast<const char*>(data_) + std::min(at_, size_),
                       size_ - std::min(at_, size_));
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void put(std::string& out, uint64_t value, int bytes, bool bigEndian = false) {
  for (int i = 0; i < bytes; ++i) {
    const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
    out += static_cast<char>(value >> shift);
  }
}

std::string wav(Reader& in) {
  const uint16_t tag = in.take(1) % 3 == 0 ? 1 : static_cast<uint16_t>(in.take(2));
  const uint16_t channels = static_cast<uint16_t>(in.take(1));
  const uint32_t rate = static_cast<uint32_t>(in.take(4));
  const uint16_t bits = static_cast<uint16_t>(in.take(1));
  const uint32_t declared = static_cast<uint32_t>(in.take(4));
  const std::string data = in.rest();
  std::string out = "RIFF";
  put(out, 36 + data.size(), 4);
  out += "WAVEfmt ";
  put(out, 16, 4);
  put(out, tag, 2);
  put(out, channels, 2);
  put(out, rate, 4);
  put(out, uint64_t{rate} * channels * bits / 8, 4);
  put(out, channels * bits / 8u, 2);
  put(out, bits, 2);
  out += "data";
  put(out, declared % 2 == 0 ? data.size() : declared, 4);
  return out + data;
}

std::string voc(Reader& in) {
  std::string out = "Creative Voice File\x1a";
  put(out, 26, 2);
  put(out, 0x010a, 2);
  put(out, 0x1129, 2);
  // A few blocks: kind, declared length, then their bytes.
  for (int block = 0; block < 3; ++block) {
    const uint8_t kind = static_cast<uint8_t>(in.take(1) % 10);
    const uint32_t length = static_cast<uint32_t>(in.take(2));
    out += static_cast<char>(kind);
    put(out, length, 3);
    for (uint32_t i = 0; i < std::min<uint32_t>(length, 64); ++i) out += static_cast<char>(in.take(1));
  }
  return out + in.rest();
}

std::string aiff(Reader& in) {
  const uint16_t channels = static_cast<uint16_t>(in.take(1));
  const uint32_t frames = static_cast<uint32_t>(in.take(4));
  const uint16_t bits = static_cast<uint16_t>(in.take(1));
  const uint16_t exponent = static_cast<uint16_t>(in.take(2));
  const uint64_t mantissa = in.take(8);
  const std::string data = in.rest();
  std::string out = "FORM";
  put(out, 46 + data.size(), 4, true);
  out += "AIFFCOMM";
  put(out, 18, 4, true);
  put(out, channels, 2, true);
  put(out, frames, 4, true);
  put(out, bits, 2, true);
  put(out, exponent, 2, true);
  put(out, mantissa, 8, true);
  out += "SSND";
  put(out, 8 + data.size(), 4, true);
  put(out, 0, 8, true);
  return out + data;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512) != 0) {
    std::abort();
  }
  char pattern[] = "/tmp/velumora-sample-fuzz-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
  close(fd);
  path = pattern;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const uint8_t kind = static_cast<uint8_t>(in.take(1));
  std::string file;
  switch (kind % 4) {
    case 0:
      file = wav(in);
      break;
    case 1:
      file = voc(in);
      break;
    case 2:
      file = aiff(in);
      break;
    default:
      file = in.rest();
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  DecodedSample decoded;
  std::string error;
  decodeSample(path, 22050, decoded, error);
  return 0;
}

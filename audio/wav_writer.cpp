#include "audio/wav_writer.h"

std::string wavHeader(int rate, int channels, uint64_t dataBytes) {
  std::string header;
  auto put = [&](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) header += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  header += "RIFF";
  put(36 + dataBytes, 4);
  header += "WAVEfmt ";
  put(16, 4);
  put(1, 2);
  put(static_cast<uint64_t>(channels), 2);
  put(static_cast<uint64_t>(rate), 4);
  put(static_cast<uint64_t>(rate) * static_cast<uint64_t>(channels) * 2, 4);
  put(static_cast<uint64_t>(channels) * 2, 2);
  put(16, 2);
  header += "data";
  put(dataBytes, 4);
  return header;
}

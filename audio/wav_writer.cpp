#include "audio/wav_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace {

void put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  put16(out, value & 0xffff);
  put16(out, value >> 16);
}

void put64(std::vector<uint8_t>& out, uint64_t value) {
  put32(out, static_cast<uint32_t>(value));
  put32(out, static_cast<uint32_t>(value >> 32));
}

void tag(std::vector<uint8_t>& out, const char* fourCc) {
  out.insert(out.end(), fourCc, fourCc + 4);
}

bool formatValid(int rate, int channels) {
  return rate > 0 && channels > 0 && channels <= 0xffff &&
         static_cast<uint64_t>(rate) * static_cast<uint64_t>(channels) * 2 <= 0xffffffffull;
}

bool writeAll(int fd, const void* data, std::size_t bytes, std::string& error) {
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(fd, at, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      return false;
    }
    at += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WavWriter::header(int rate, int channels, uint64_t dataBytes, std::vector<uint8_t>& out,
                       std::string& error, uint32_t channelMask) {
  if (!formatValid(rate, channels)) {
    error = "unsupported format: " + std::to_string(rate) + " Hz, " + std::to_string(channels) +
            " channels";
    return false;
  }
  const uint32_t blockAlign = static_cast<uint32_t>(channels) * 2;
  if (dataBytes % blockAlign != 0) {
    error = "the data is not a whole number of frames";
    return false;
  }
  const bool rf64 = dataBytes >= kRf64DataBytes;
  const bool extensible = channels > 2;
  const std::size_t added = extensible ? kExtensibleBytes : 0;
  out.clear();
  tag(out, rf64 ? "RF64" : "RIFF");
  put32(out, rf64 ? 0xffffffffu : static_cast<uint32_t>(36 + added + dataBytes));
  tag(out, "WAVE");
  if (rf64) {
    // Everything after the RIFF size: the rest of this header and the data.
    tag(out, "ds64");
    put32(out, 28);
    put64(out, kRf64HeaderBytes + added - 8 + dataBytes);
    put64(out, dataBytes);
    put64(out, dataBytes / blockAlign);
    put32(out, 0);  // no table of other chunk sizes
  }
  tag(out, "fmt ");
  put32(out, static_cast<uint32_t>(16 + added));
  put16(out, extensible ? kExtensibleTag : 1);  // PCM
  put16(out, static_cast<uint32_t>(channels));
  put32(out, static_cast<uint32_t>(rate));
  put32(out, static_cast<uint32_t>(rate) * blockAlign);
  put16(out, blockAlign);
  put16(out, 16);
  if (extensible) {
    put16(out, 22);  // the extension's size
    put16(out, 16);  // valid bits per sample
    put32(out, channelMask);
    // KSDATAFORMAT_SUBTYPE_PCM, 00000001-0000-0010-8000-00aa00389b71.
    static const uint8_t kPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                     0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
    out.insert(out.end(), kPcm, kPcm + sizeof kPcm);
  }
  tag(out, "data");
  put32(out, rf64 ? 0xffffffffu : static_cast<uint32_t>(dataBytes));
  return true;
}

bool WavWriter::writeFile(const std::string& path, int rate, int channels,
                          const std::vector<int16_t>& samples, std::string& error) {
  if (!formatValid(rate, channels) || samples.size() % static_cast<std::size_t>(channels) != 0) {
    error = "not a whole number of frames in a supported format";
    return false;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  WavWriter writer(rate, channels, frames,
                   [fd](const void* data, std::size_t bytes, std::string& sinkError) {
                     return writeAll(fd, data, bytes, sinkError);
                   });
  bool ok = writer.begin(error) && writer.writeFrames(samples.data(), frames, error) &&
            writer.complete(error);
  if (::close(fd) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  return ok;
}

WavWriter::WavWriter(int rate, int channels, uint64_t frames, Sink sink, uint32_t channelMask)
    : rate_(rate),
      channels_(channels),
      channelMask_(channelMask),
      frames_(frames),
      sink_(std::move(sink)) {}

bool WavWriter::begin(std::string& error) {
  if (begun_) {
    error = "the header is already written";
    return false;
  }
  if (channels_ > 0 && frames_ > UINT64_MAX / 2 / static_cast<uint64_t>(channels_)) {
    error = "too many frames";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!header(rate_, channels_, frames_ * static_cast<uint64_t>(channels_) * 2, bytes, error,
              channelMask_) ||
      !sink_(bytes.data(), bytes.size(), error)) {
    return false;
  }
  begun_ = true;
  return true;
}

bool WavWriter::reserve(std::size_t frames, std::string& error) {
  if (!begun_) {
    error = "frames written before the header";
    return false;
  }
  if (frames > frames_ - written_) {
    error = "more frames than the header declares";
    return false;
  }
  written_ += frames;
  return true;
}

bool WavWriter::writeFrames(const int16_t* samples, std::size_t frames, std::string& error) {
  if (!reserve(frames, error)) return false;
  // Little-endian bytes whatever the host's order, a block at a time.
  uint8_t block[8192];
  const std::size_t total = frames * static_cast<std::size_t>(channels_);
  for (std::size_t done = 0; done < total;) {
    const std::size_t count = std::min(total - done, sizeof block / 2);
    for (std::size_t i = 0; i < count; ++i) {
      const auto value = static_cast<uint16_t>(samples[done + i]);
      block[2 * i] = static_cast<uint8_t>(value);
      block[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    if (!sink_(block, count * 2, error)) return false;
    done += count;
  }
  return true;
}

bool WavWriter::writeLittleEndian(const void* data, std::size_t frames, std::string& error) {
  return reserve(frames, error) &&
         sink_(data, frames * static_cast<std::size_t>(channels_) * 2, error);
}

bool WavWriter::complete(std::string& error) const {
  if (begun_ && written_ == frames_) return true;
  error = begun_ ? std::to_string(frames_ - written_) + " of " + std::to_string(frames_) +
                       " frames missing"
                 : "the header is not written";
  return false;
}

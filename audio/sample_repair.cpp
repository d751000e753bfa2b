#include "audio/sample_repair.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool refuse(std::string& error, const std::string& text) {
  error = text;
  return false;
}

// Reads the file's header fields; bytes past its end read as zeros.
class Fields {
 public:
  Fields(int fd, uint64_t size) : fd_(fd), size_(size) {}
  bool read(uint64_t at, void* to, std::size_t count) const {
    std::memset(to, 0, count);
    return at <= size_ && count <= size_ - at &&
           pread(fd_, to, count, static_cast<off_t>(at)) == static_cast<ssize_t>(count);
  }
  uint32_t le(uint64_t at, int bytes) const {
    uint8_t field[4] = {};
    read(at, field, static_cast<std::size_t>(bytes));
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | field[i];
    return value;
  }
  // Four printable characters, as a chunk's name is.
  bool isName(uint64_t at) const {
    char name[4];
    return read(at, name, sizeof name) &&
           std::all_of(name, name + 4, [](char c) { return c >= 0x20 && c < 0x7f; });
  }
  bool is(uint64_t at, const char* tag) const {
    char bytes[32];
    const std::size_t length = std::strlen(tag);
    return read(at, bytes, length) && std::memcmp(bytes, tag, length) == 0;
  }

 private:
  const int fd_;
  const uint64_t size_;
};

std::string le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

// ---------------------------------------------------------------------------
// VOC

// The encodings of VOC sound that libsndfile decodes, by their codes in a
// block of type 9.
enum VocCodec : int { kUnsigned8 = 0, kSigned16 = 4, kALaw = 6, kMuLaw = 7, kUnread = -1 };

struct VocFormat {
  uint32_t rate = 0;
  uint32_t channels = 0;
  int codec = kUnread;
  uint32_t frameBytes() const { return (codec == kSigned16 ? 2 : 1) * channels; }
  bool operator==(const VocFormat& other) const {
    return rate == other.rate && channels == other.channels && codec == other.codec;
  }
};

// The byte that is silence in each encoding.
uint8_t silenceOf(int codec) {
  switch (codec) {
    case kUnsigned8:
      return 0x80;
    case kALaw:
      return 0xd5;
    case kMuLaw:
      return 0xff;
    default:
      return 0;
  }
}

// More blocks than any file that was ever made of sound has.
constexpr int kMostVocBlocks = 1 << 16;

}  // namespace

bool spliceVoc(int fd, uint64_t size, SplicedFile& out, std::string& error) {
  const Fields f(fd, size);
  if (!f.is(0, "Creative Voice File\x1a") || size < 22) return refuse(error, "not a VOC file");
  uint64_t at = f.le(20, 2);
  VocFormat format, extended;  // of the sound; of an extended block for the next
  bool known = false, extendedNext = false;
  struct Run {
    uint64_t offset;  // in the file; silence: none
    uint64_t bytes;
    bool silence;
  };
  std::vector<Run> runs;
  uint64_t silenceFirst = 0;  // frames of silence before the first sound
  for (int blocks = 0; at < size; ++blocks) {
    if (blocks == kMostVocBlocks)
      return refuse(error, "VOC file of more than " + std::to_string(kMostVocBlocks) + " blocks");
    const uint32_t type = f.le(at, 1);
    if (type == 0 || at + 4 > size) break;
    const uint64_t body = at + 4, length = f.le(at + 1, 3);
    const uint64_t held = std::min(length, size - body);
    VocFormat block;
    bool sound = false;
    uint64_t data = 0, bytes = 0;
    switch (type) {
      case 1: {  // sound, 8-bit unless an extended block said more
        if (held < 2) break;
        block.codec = f.le(body + 1, 1) == 0 ? kUnsigned8 : kUnread;
        if (extendedNext) {
          block.rate = extended.rate;
          block.channels = extended.channels;
          block.codec = block.codec == kUnsigned8 ? extended.codec : kUnread;
        } else {
          block.rate = 1000000 / (256 - f.le(body, 1));
          block.channels = 1;
        }
        extendedNext = false;
        sound = true;
        data = body + 2;
        bytes = held - 2;
        break;
      }
      case 2:  // more of the sound before
        block = format;
        sound = known;
        data = body;
        bytes = held;
        break;
      case 3: {  // silence, in frames less one
        if (held < 3) break;
        const uint64_t frames = uint64_t{f.le(body, 2)} + 1;
        if (!known)
          silenceFirst += frames;
        else
          runs.push_back(Run{0, frames * format.frameBytes(), true});
        break;
      }
      case 8: {  // the format of the next sound block
        if (held < 4) break;
        extended.channels = f.le(body + 3, 1) != 0 ? 2 : 1;
        extended.rate = 256000000u / (65536u - f.le(body, 2)) / extended.channels;
        extended.codec = f.le(body + 2, 1) == 0 ? kUnsigned8 : kUnread;
        extendedNext = true;
        break;
      }
      case 9: {  // sound with its rate in Hz, depth, channels and encoding
        if (held < 12) break;
        block.rate = f.le(body, 4);
        const uint32_t bits = f.le(body + 4, 1), codec = f.le(body + 6, 2);
        block.channels = f.le(body + 5, 1);
        // sox writes 16-bit sound with code 0.
        block.codec = codec == 0 ? (bits == 16 ? kSigned16 : kUnsigned8)
                      : codec == kSigned16 || codec == kALaw || codec == kMuLaw
                          ? static_cast<int>(codec)
                          : kUnread;
        sound = true;
        data = body + 12;
        bytes = held - 12;
        break;
      }
      default:  // markers, text and repeats say nothing of the sound
        break;
    }
    if (sound) {
      if (!known) {
        if (block.codec == kUnread)
          return refuse(error, "VOC sound in an encoding that is not read (ADPCM)");
        if (block.channels == 0) return refuse(error, "VOC sound of 0 channels");
        format = block;
        known = true;
      } else if (!(block == format)) {
        break;  // the sound ends where its format changes
      }
      bytes -= bytes % format.frameBytes();
      if (bytes > 0) runs.push_back(Run{data, bytes, false});
    }
    if (held < length) break;  // the file ends inside this block
    at = body + length;
  }
  if (!known) return refuse(error, "VOC file holds no sound");
  uint64_t total = silenceFirst * format.frameBytes();
  for (const Run& run : runs) total += run.bytes;
  // One block of type 9, which libsndfile reads to the end of the file but
  // for one byte: the terminator.
  const uint32_t declared = static_cast<uint32_t>(std::min<uint64_t>(total + 12, 0xffffff));
  out.addBytes(std::string("Creative Voice File\x1a", 20) + le(26, 2) + le(0x0114, 2) +
               le(0x111f, 2) + le(9, 1) + le(declared, 3) + le(format.rate, 4) +
               le(format.codec == kSigned16 ? 16 : 8, 1) + le(format.channels, 1) +
               le(static_cast<uint32_t>(format.codec), 2) + le(0, 4));
  out.addFill(silenceOf(format.codec), silenceFirst * format.frameBytes());
  for (const Run& run : runs) {
    if (run.silence)
      out.addFill(silenceOf(format.codec), run.bytes);
    else
      out.addFile(run.offset, run.bytes);
  }
  out.addBytes(std::string(1, '\0'));
  return true;
}

bool spliceWavPads(int fd, uint64_t size, SplicedFile& out) {
  const Fields f(fd, size);
  if (!f.is(0, "RIFF") || !f.is(8, "WAVE")) return false;
  uint64_t at = 12, copied = 0;
  int pads = 0;
  // The chunks before the sound: a chunk of odd length followed by a name
  // one byte early lacks its pad. A file has a few chunks before its sound;
  // one of millions is not walked to its end.
  for (int chunks = 0; at + 8 <= size && f.isName(at) && !f.is(at, "data") && chunks < 4096;
       ++chunks) {
    const uint64_t length = f.le(at + 4, 4), end = at + 8 + length;
    if (length % 2 == 1 && f.isName(end) && !f.isName(end + 1)) {
      out.addFile(copied, end - copied);
      out.addFill(0, 1);
      copied = end;
      ++pads;
      at = end;
    } else {
      at = end + length % 2;
    }
  }
  if (pads == 0) return false;
  out.addFile(copied, size - copied);
  return true;
}

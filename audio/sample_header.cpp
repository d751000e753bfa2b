#include "audio/sample_header.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <numeric>

// Each reader below follows the matching decoder of SDL_mixer 1.2.12 (and
// SDL 1.2's WAV loader) step by step, including its quirks, because the
// point is to know what that code will do with these very bytes.

namespace {

class Bytes {
 public:
  explicit Bytes(std::vector<uint8_t>& data) : data_(data) {}
  std::size_t size() const { return data_.size(); }
  bool has(std::size_t at, std::size_t count) const {
    return at <= data_.size() && count <= data_.size() - at;
  }
  bool is(std::size_t at, const char* tag) const {
    const std::size_t length = std::strlen(tag);
    return has(at, length) && std::memcmp(data_.data() + at, tag, length) == 0;
  }
  // Reads past the end see zeros: a field a hostile file cuts short reads
  // as 0 rather than as the heap beyond it.
  uint8_t u8(std::size_t at) const { return at < data_.size() ? data_[at] : 0; }
  uint32_t le(std::size_t at, int count) const {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | u8(at + i);
    return value;
  }
  uint32_t be(std::size_t at, int count) const {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | u8(at + i);
    return value;
  }
  void setU8(std::size_t at, uint8_t value) { data_[at] = value; }
  void setLe(std::size_t at, int count, uint32_t value) {
    for (int i = 0; i < count; ++i) data_[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  void setBe(std::size_t at, int count, uint32_t value) {
    for (int i = 0; i < count; ++i)
      data_[at + i] = static_cast<uint8_t>(value >> (8 * (count - 1 - i)));
  }
  uint8_t* at(std::size_t offset) { return data_.data() + offset; }
  void insert(std::size_t at, uint8_t value) {
    data_.insert(data_.begin() + static_cast<std::ptrdiff_t>(at), value);
  }
  // Four printable characters, as a chunk's name is.
  bool isName(std::size_t at) const {
    return has(at, 4) && std::all_of(data_.begin() + static_cast<std::ptrdiff_t>(at),
                                     data_.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                     [](uint8_t c) { return c >= 0x20 && c < 0x7f; });
  }

 private:
  std::vector<uint8_t>& data_;
};

bool fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

bool checkRate(int64_t rate, std::string& error) {
  if (rate < kMinSampleRate || rate > kMaxSampleRate)
    return fail(error, "sample rate " + std::to_string(rate) + " Hz is outside " +
                           std::to_string(kMinSampleRate) + " to " +
                           std::to_string(kMaxSampleRate) + " Hz");
  return true;
}

bool checkRateAndChannels(int64_t rate, int64_t channels, std::string& error) {
  if (!checkRate(rate, error)) return false;
  // The channel conversions classic SDL_BuildAudioCVT knows; others make
  // it run past its filter table or convert garbage.
  if (channels != 1 && channels != 2 && channels != 4 && channels != 6)
    return fail(error, std::to_string(channels) + " channels; SDL converts only 1, 2, 4 or 6");
  return true;
}

// The most whole frames, at most `frames`, whose byte count SDL_mixer's
// "multiple of the sample size" mask keeps intact. It clears the low bits
// below the sample size (len & ~(size - 1)), which for a size that is not a
// power of two (6 channels: 12 bytes) cuts frames in half and leaves the
// converter a partial frame.
uint64_t maskSafeFrames(uint64_t frames, uint32_t frameBytes) {
  uint32_t power = 1;
  while (power < frameBytes) power <<= 1;
  const uint64_t step = power / std::gcd(power, frameBytes);
  return frames / step * step;
}

// ---------------------------------------------------------------------------
// WAV, as SDL 1.2.15's SDL_LoadWAV_RW reads it.

constexpr uint16_t kWavPcm = 1, kWavMsAdpcm = 2, kWavImaAdpcm = 0x11;

bool prepareWav(Bytes& b, int mixerRate, SampleHeader& header, std::string& error) {
  std::size_t at = 0;
  if (b.is(4, "WAVE")) {
    at = 8;  // SDL takes a file without the RIFF length too
  } else if (b.is(0, "RIFF") && b.is(8, "WAVE")) {
    at = 12;
  } else {
    return fail(error, "Unrecognized file type (not WAVE)");
  }
  // A chunk's length, clipped to the bytes that follow its header: SDL
  // allocates the declared length before reading it.
  auto chunk = [&b](std::size_t at, uint32_t& length) {
    if (!b.has(at, 8)) return false;
    length = b.le(at + 4, 4);
    const std::size_t rest = b.size() - at - 8;
    if (length > rest) {
      length = static_cast<uint32_t>(rest);
      b.setLe(at + 4, 4, length);
    }
    return true;
  };
  // The offset of the chunk after the one at `at`. RIFF follows a chunk of
  // odd length with a pad byte, which SDL 1.2 does not skip and SDL2 (under
  // sdl12-compat) does. The length is made even to cover the pad, so that
  // both land on the next chunk; a file that leaves the pad out, as SDL 1.2
  // reads it, is given one. Each pad given moves the rest of the file, so a
  // few are: beyond them the file is read as RIFF says.
  int padsGiven = 0;
  auto next = [&b, &padsGiven](std::size_t at, uint32_t& length) {
    const std::size_t end = at + 8 + length;
    if (length % 2 == 0 || !b.has(end, 1)) return end;
    if (padsGiven < 8 && !b.isName(end + 1) && b.isName(end)) {
      b.insert(end, 0);
      ++padsGiven;
    }
    b.setLe(at + 4, 4, ++length);
    return end + 1;
  };
  uint32_t length = 0;
  for (;;) {
    if (!chunk(at, length)) return fail(error, "WAV file ends before its fmt chunk");
    if (!b.is(at, "fact") && !b.is(at, "LIST")) break;
    at = next(at, length);
  }
  if (!b.is(at, "fmt ")) return fail(error, "Complex WAVE files not supported");
  const std::size_t fmt = at + 8;
  const uint32_t fmtLength = length;
  const uint16_t encoding = static_cast<uint16_t>(b.le(fmt, 2));
  const uint32_t needed = encoding == kWavMsAdpcm ? 50 : encoding == kWavImaAdpcm ? 20 : 16;
  if (fmtLength < needed)
    return fail(error, "WAV fmt chunk is too short (" + std::to_string(fmtLength) + " bytes)");
  const uint32_t channels = b.le(fmt + 2, 2);
  const uint32_t rate = b.le(fmt + 4, 4);
  const uint32_t blockAlign = b.le(fmt + 12, 2);
  const uint32_t bits = b.le(fmt + 14, 2);
  if (!checkRateAndChannels(rate, channels, error)) return false;

  // Frames per block: 1 for PCM and what SDL decodes per ADPCM block.
  uint32_t blockFrames = 1;
  if (encoding == kWavMsAdpcm || encoding == kWavImaAdpcm) {
    // SDL 1.2 keeps ADPCM state for two channels, and trusts the samples
    // per block to fit the block (IMA: in groups of eight).
    const bool ms = encoding == kWavMsAdpcm;
    const uint32_t head = (ms ? 7 : 4) * channels;
    if (channels > 2) return fail(error, "ADPCM WAV with more than 2 channels");
    blockFrames = b.le(fmt + 18, 2);
    const bool fits =
        blockAlign > head &&
        (ms ? blockFrames == (blockAlign - head) * 2 / channels + 2
            : blockFrames == (blockAlign - head) * 2 / channels + 1 && (blockFrames - 1) % 8 == 0);
    if (!fits) return fail(error, "ADPCM WAV whose samples per block do not fit its blocks");
  } else if (encoding == kWavPcm && (bits == 8 || bits == 16)) {
    if (blockAlign != bits / 8 * channels)
      return fail(error, "WAV block align " + std::to_string(blockAlign) + " does not match " +
                             std::to_string(bits) + "-bit " + std::to_string(channels) +
                             "-channel frames");
  } else if (blockAlign == 0) {
    return fail(error, "WAV block align is 0");
  }

  at = next(at, length);
  for (;;) {
    if (!chunk(at, length)) return fail(error, "WAV file has no data chunk");
    if (b.is(at, "data")) break;
    at = next(at, length);
  }
  uint64_t blocks = length / blockAlign;
  if (blockFrames == 1) blocks = maskSafeFrames(blocks, blockAlign);
  if (blocks == 0) return fail(error, "WAV data chunk holds no whole frame");
  b.setLe(at + 4, 4, static_cast<uint32_t>(blocks * blockAlign));

  b.setLe(fmt + 4, 4, static_cast<uint32_t>(mixerRate));
  header.rate = static_cast<int>(rate);
  header.channels = static_cast<int>(channels);
  header.labelRate = mixerRate;
  header.frames = blocks * blockFrames;
  return true;
}

// ---------------------------------------------------------------------------
// AIFF and 8SVX, as SDL_mixer's Mix_LoadAIFF_RW reads them.

// SDL_mixer's reading of an 80-bit extended float, limits and all.
uint32_t saneToUint32(const uint8_t* sane) {
  if (sane[0] & 0x80) return 0;
  if (sane[0] <= 0x3F) return 1;
  if (sane[0] > 0x40) return 0x4000000;
  if (sane[0] == 0x40 && sane[1] > 0x1C) return 800000000;
  return ((uint32_t{sane[2]} << 23) | (uint32_t{sane[3]} << 15) | (uint32_t{sane[4]} << 7) |
          (uint32_t{sane[5]} >> 1)) >>
         (29 - sane[1]);
}

void putSane(uint8_t* sane, uint32_t rate) {  // rate >= 2
  int exponent = 31;
  while (!(rate & (1u << exponent))) --exponent;
  const uint32_t mantissa = rate << (31 - exponent);
  const uint32_t biased = 0x3FFF + static_cast<uint32_t>(exponent);
  const uint8_t bytes[10] = {static_cast<uint8_t>(biased >> 8),
                             static_cast<uint8_t>(biased),
                             static_cast<uint8_t>(mantissa >> 24),
                             static_cast<uint8_t>(mantissa >> 16),
                             static_cast<uint8_t>(mantissa >> 8),
                             static_cast<uint8_t>(mantissa),
                             0,
                             0,
                             0,
                             0};
  std::memcpy(sane, bytes, sizeof bytes);
}

bool prepareAiff(Bytes& b, int mixerRate, SampleHeader& header, std::string& error) {
  const bool svx = b.is(8, "8SVX");
  if (!svx && !b.is(8, "AIFF")) return fail(error, "Unrecognized file type (not AIFF nor 8SVX)");
  bool comm = false, ssnd = false, vhdr = false, body = false;
  uint64_t samples = 0, start = 0;
  uint32_t channels = 0, sampleBits = 0, rate = 0;
  std::size_t samplesAt = 0, rateAt = 0;  // fields to rewrite
  bool samplesInBody = false, rateIsSane = false;
  // SDL_mixer walks chunks until it has what it needs; past the end of the
  // data it reads garbage and can loop for ever, so this walk stops there
  // and the file is refused.
  for (std::size_t at = 12; svx ? !(vhdr && body) : !(comm && ssnd);) {
    if (!b.has(at, 8)) break;
    const uint32_t length = b.be(at + 4, 4);
    if (length == 0) break;
    if (b.is(at, "COMM")) {
      if (!b.has(at + 8, 18)) return fail(error, "AIFF COMM chunk is cut short");
      comm = true;
      channels = b.be(at + 8, 2);
      samples = b.be(at + 10, 4);
      samplesAt = at + 10;
      samplesInBody = false;
      sampleBits = b.be(at + 14, 2);
      rate = saneToUint32(b.at(at + 16));
      rateAt = at + 16;
      rateIsSane = true;
    } else if (b.is(at, "SSND")) {
      if (!b.has(at + 8, 8)) return fail(error, "AIFF SSND chunk is cut short");
      ssnd = true;
      start = at + 16 + uint64_t{b.be(at + 8, 4)};
    } else if (b.is(at, "VHDR")) {
      if (!b.has(at + 8, 14)) return fail(error, "8SVX VHDR chunk is cut short");
      vhdr = true;
      rate = b.be(at + 20, 2);
      rateAt = at + 20;
      rateIsSane = false;
      channels = 1;
      sampleBits = 8;
    } else if (b.is(at, "BODY")) {
      body = true;
      samples = length;
      samplesAt = at + 4;
      samplesInBody = true;
      start = at + 8;
    }
    at += 8 + uint64_t{length} + (length & 1);
  }
  if (!svx && !ssnd) return fail(error, "Bad AIFF (no SSND chunk)");
  if (!svx && !comm) return fail(error, "Bad AIFF (no COMM chunk)");
  if (svx && !vhdr) return fail(error, "Bad 8SVX (no VHDR chunk)");
  if (svx && !body) return fail(error, "Bad 8SVX (no BODY chunk)");
  if (sampleBits != 8 && sampleBits != 16) return fail(error, "Unsupported AIFF samplesize");
  if (!checkRateAndChannels(rate, channels, error)) return false;

  // SDL_mixer allocates what COMM (or BODY) declares and reads it from
  // `start`: keep that to the frames the file holds.
  const uint32_t frameBytes = channels * sampleBits / 8;
  const uint64_t held = start < b.size() ? (b.size() - start) / frameBytes : 0;
  const uint64_t frames = maskSafeFrames(std::min(samples, held), frameBytes);
  if (frames == 0) return fail(error, "Unable to read audio data");
  if (frames != samples) {
    if (samplesInBody)
      b.setBe(samplesAt, 4, static_cast<uint32_t>(frames * frameBytes));
    else
      b.setBe(samplesAt, 4, static_cast<uint32_t>(frames));
  }
  if (rateIsSane) {
    putSane(b.at(rateAt), static_cast<uint32_t>(mixerRate));
  } else {
    if (mixerRate > 0xFFFF) return fail(error, "8SVX cannot say a rate above 65535 Hz");
    b.setBe(rateAt, 2, static_cast<uint32_t>(mixerRate));
  }
  header.rate = static_cast<int>(rate);
  header.channels = static_cast<int>(channels);
  header.labelRate = mixerRate;
  header.frames = frames;
  return true;
}

// ---------------------------------------------------------------------------
// VOC, as SDL_mixer's Mix_LoadVOC_RW reads it.
//
// Its block reader trusts every length. A block that yields no bytes (an
// empty data or continuation block, a silence of length 0, the terminator)
// makes the next block be read into a buffer that was never grown for it:
// a heap overflow.
// A silence first, or an extended block for mono sound, leaves the format
// unset or divides by zero. The walk refuses those, turns harmless empty
// blocks into skipped text blocks, and clips lengths to the file.

constexpr int64_t kNoRate = -1;

struct VocRateField {
  enum Kind { kTimeConstant8, kTimeConstant16, kRate32, kSilence } kind;
  std::size_t at;       // of the field(s) in the file
  uint16_t period = 0;  // silence: the length SDL_mixer works out for it
};

struct VocWalk {
  int rate = 0;  // the rate SDL_mixer reports once every block is read
  int channels = 0;
  uint64_t bytes = 0;  // what the decoder returns, before its mask
  uint32_t sampleBytes = 0;
  std::vector<VocRateField> fields;
  std::size_t lastDataBlock = 0;  // 0: the last bytes are silence
  uint32_t lastDataHeader = 0;
  uint32_t lastDataLength = 0;
};

uint16_t vocTimeConstantRate(uint32_t timeConstant) {
  // SDL_mixer stores 1000000 / (256 - tc) into 16 bits.
  return static_cast<uint16_t>(static_cast<int32_t>(1000000.0 / (256 - timeConstant)));
}

uint32_t vocExtendedRate(uint32_t timeConstant, int channels) {
  return 256000000u / (65536u - timeConstant) / static_cast<uint32_t>(channels);
}

bool walkVoc(Bytes& b, VocWalk& walk, std::string& error) {
  if (!b.is(0, "Creative Voice File\x1a") || !b.has(20, 2))
    return fail(error, "Unrecognized file type (not VOC)");
  std::size_t at = b.le(20, 2);
  if (at > b.size()) return fail(error, "VOC data offset is beyond the file");

  int64_t rate = kNoRate;  // the decoder's rate code: time constant or Hz
  VocRateField::Kind rateKind = VocRateField::kRate32;
  bool extended = false, started = false;
  int extendedChannels = 0, blockChannels = 0;
  uint32_t sampleBytes = 0;
  // Where the last block that yielded nothing lies: the decoder survives
  // it only if nothing but the end follows.
  std::size_t emptyAt = 0;
  bool empty = false;
  walk = VocWalk();
  // Skips `length` bytes from `from`, the length field clipped to the file.
  auto skip = [&b](std::size_t from, uint32_t length, std::size_t type) {
    if (!b.has(from, length)) {
      length = static_cast<uint32_t>(b.size() - std::min(from, b.size()));
      b.setLe(type + 1, 3, length);
    }
    return from + length;
  };
  // A block the decoder fails on. Right after an empty block the decoder
  // is reading within its copy loop, where a failure only ends the sound.
  auto decoderError = [&](const std::string& text) { return empty ? true : fail(error, text); };

  while (b.has(at, 1) && b.u8(at) != 0 && b.has(at, 4)) {
    const std::size_t type = at, body = at + 4;
    const uint32_t length = b.le(at + 1, 3);
    const std::string where = " at byte " + std::to_string(at);
    const uint8_t kind = b.u8(at);
    uint32_t head = 0;  // bytes between the block header and its sound
    bool silence = false;
    uint64_t yield = 0;
    switch (kind) {
      case 1:
        if (!b.has(body, 2)) return decoderError("VOC block" + where + " is cut short");
        if (!extended) {
          const uint32_t code = b.u8(body);
          if (code == 0) return decoderError("VOC Sample rate is zero?");
          if (rate != kNoRate && code != rate) return decoderError("VOC sample rate codes differ");
          rate = code;
          rateKind = VocRateField::kTimeConstant8;
          walk.rate = vocTimeConstantRate(code);
          blockChannels = 1;
          walk.fields.push_back({VocRateField::kTimeConstant8, body});
        }
        if (b.u8(body + 1) != 0) return decoderError("VOC decoder only interprets 8-bit data");
        extended = false;
        head = 2;
        sampleBytes = 1;
        break;
      case 9: {
        if (!b.has(body, 12)) return decoderError("VOC block" + where + " is cut short");
        const uint32_t hz = b.le(body, 4);
        if (hz == 0) return decoderError("VOC Sample rate is zero?");
        if (rate != kNoRate && hz != rate) return decoderError("VOC sample rate codes differ");
        rate = hz;
        rateKind = VocRateField::kRate32;
        walk.rate = static_cast<int>(std::min<uint32_t>(hz, std::numeric_limits<int>::max()));
        const uint8_t bits = b.u8(body + 4);
        if (bits != 8 && bits != 16) return decoderError("VOC with unknown data size");
        sampleBytes = bits / 8;
        blockChannels = b.u8(body + 5);
        walk.fields.push_back({VocRateField::kRate32, body});
        head = 12;
        break;
      }
      case 2:
        break;
      case 3: {
        if (!b.has(body, 3)) return decoderError("VOC block" + where + " is cut short");
        uint32_t period = b.le(body, 2);
        const uint32_t code = b.u8(body + 2);
        if (code == 0) return decoderError("VOC silence sample rate is zero");
        if (rate != kNoRate && code != rate) {
          // The decoder's own arithmetic: unsigned, so a rate code above
          // 256 gives 0.
          const uint32_t divisor = 256u - static_cast<uint32_t>(rate);
          if (divisor == 0) return fail(error, "VOC silence" + where + " divides by zero");
          period = static_cast<uint16_t>(period * (256 - code) / divisor);
        } else {
          rate = code;
        }
        silence = true;
        yield = period;
        if (period > 0 && rateKind == VocRateField::kTimeConstant8)
          walk.fields.push_back({VocRateField::kSilence, body, static_cast<uint16_t>(period)});
        break;
      }
      case 8: {
        if (!b.has(body, 4)) return decoderError("VOC block" + where + " is cut short");
        extended = true;
        const uint32_t code = b.le(body, 2);
        if (code == 0) return decoderError("VOC sample rate is zero");
        if (rate != kNoRate && code != rate) return decoderError("VOC sample rate codes differ");
        rate = code;
        rateKind = VocRateField::kTimeConstant16;
        if (b.u8(body + 2) != 0) return decoderError("VOC decoder only interprets 8-bit data");
        if (b.u8(body + 3) != 0) extendedChannels = 2;
        if (extendedChannels == 0)
          return fail(error,
                      "VOC extended block for mono sound, on which SDL_mixer divides by zero");
        walk.rate = static_cast<int>(vocExtendedRate(code, extendedChannels));
        walk.fields.push_back({VocRateField::kTimeConstant16, body});
        at = body + 4;  // the decoder ignores this block's length
        continue;
      }
      case 4:
        if (!b.has(body, 2)) return decoderError("VOC block" + where + " is cut short");
        at = skip(body + 2, length, type);
        continue;
      default:  // text, loops and unknown blocks are skipped
        at = skip(body, length, type);
        continue;
    }

    // A block the decoder returns sound (or silence) from.
    if (!started) {
      started = true;
      if (rate == kNoRate) return fail(error, "VOC data had no sound!");
      if (kind == 2 || kind == 3 || sampleBytes == 0)
        return fail(error, "VOC sound does not start with a data block");
      walk.channels = extendedChannels != 0 ? extendedChannels : blockChannels;
      walk.sampleBytes = sampleBytes;
    }
    if (!silence) {
      if (length < head) return fail(error, "VOC block" + where + " is shorter than its header");
      const std::size_t data = body + head;
      const uint32_t held =
          static_cast<uint32_t>(std::min<uint64_t>(length - head, b.size() - data));
      if (held != length - head) b.setLe(type + 1, 3, held + head);
      yield = held;
      at = data + held;
    } else {
      at = body + 3;
    }
    if (yield == 0) {
      if (kind == 1 || kind == 9) {
        empty = true;
        emptyAt = type;
      } else {
        // Harmless as a text block of the same length.
        b.setU8(type, 5);
        if (silence) b.setLe(type + 1, 3, 3);
      }
      continue;
    }
    if (empty)
      return fail(error, "VOC data block at byte " + std::to_string(emptyAt) + " is empty");
    walk.bytes += yield;
    if (silence) {
      walk.lastDataBlock = 0;
    } else {
      walk.lastDataBlock = type;
      walk.lastDataHeader = head;
      walk.lastDataLength = static_cast<uint32_t>(yield);
    }
    // Sixteen-bit sound is counted in samples: one odd byte reads as none
    // and ends the decoding.
    if (!silence && sampleBytes == 2 && yield == 1) break;
  }
  if (!started)
    return fail(error, rate == kNoRate ? "VOC data had no sound!"
                                       : "VOC sound does not start with a data block");
  // Past the terminator the decoder reads one more block, into a buffer it
  // does not grow for it: a second terminator ends it there.
  if (b.has(at, 2) && b.u8(at) == 0) b.setU8(at + 1, 0);
  return true;
}

// The 8-bit time constant whose rate, as SDL_mixer reads it, lies nearest
// to `rate`; likewise for the 16-bit one of extended blocks.
uint32_t nearestTimeConstant8(int rate) {
  uint32_t best = 1;
  for (uint32_t tc = 1; tc < 256; ++tc)
    if (std::abs(vocTimeConstantRate(tc) - rate) < std::abs(vocTimeConstantRate(best) - rate))
      best = tc;
  return best;
}

uint32_t nearestTimeConstant16(int rate, int channels) {
  const double exact = 65536.0 - 256000000.0 / (static_cast<double>(rate) * channels);
  uint32_t best = 1;
  for (int64_t tc = static_cast<int64_t>(exact) - 1; tc <= static_cast<int64_t>(exact) + 2; ++tc) {
    if (tc < 1 || tc > 65535) continue;
    const int64_t error = std::abs(static_cast<int64_t>(vocExtendedRate(tc, channels)) - rate);
    if (error < std::abs(static_cast<int64_t>(vocExtendedRate(best, channels)) - rate))
      best = static_cast<uint32_t>(tc);
  }
  return best;
}

bool prepareVoc(Bytes& b, int mixerRate, SampleHeader& header, std::string& error) {
  VocWalk walk;
  if (!walkVoc(b, walk, error)) return false;
  if (!checkRateAndChannels(walk.rate, walk.channels, error)) return false;
  const uint32_t frameBytes = walk.sampleBytes * static_cast<uint32_t>(walk.channels);
  const uint64_t frames = maskSafeFrames(walk.bytes / frameBytes, frameBytes);
  const uint64_t excess = walk.bytes - frames * frameBytes;
  if (excess > 0) {
    if (walk.lastDataBlock == 0 || walk.lastDataLength < excess)
      return fail(error, "VOC sound does not end on a whole frame");
    b.setLe(walk.lastDataBlock + 1, 3,
            static_cast<uint32_t>(walk.lastDataHeader + walk.lastDataLength - excess));
  }

  const uint32_t code8 = nearestTimeConstant8(mixerRate);
  for (const VocRateField& field : walk.fields) {
    switch (field.kind) {
      case VocRateField::kTimeConstant8:
        b.setU8(field.at, static_cast<uint8_t>(code8));
        break;
      case VocRateField::kTimeConstant16:
        b.setLe(field.at, 2, nearestTimeConstant16(mixerRate, walk.channels));
        break;
      case VocRateField::kRate32:
        b.setLe(field.at, 4, static_cast<uint32_t>(mixerRate));
        break;
      case VocRateField::kSilence:
        // Its length as the decoder worked it out, under the new code.
        b.setLe(field.at, 2, field.period);
        b.setU8(field.at + 2, static_cast<uint8_t>(code8));
        break;
    }
  }
  // The edited file must read as the same sound at the new rate.
  VocWalk edited;
  if (!walkVoc(b, edited, error) || edited.bytes != frames * frameBytes ||
      edited.channels != walk.channels || std::abs(edited.rate - mixerRate) > mixerRate / 20)
    return fail(error,
                "VOC rate fields cannot be rewritten to " + std::to_string(mixerRate) + " Hz");
  header.rate = walk.rate;
  header.channels = walk.channels;
  header.labelRate = edited.rate;
  header.frames = frames;
  return true;
}

// ---------------------------------------------------------------------------
// Ogg Vorbis: the identification header of every logical stream.

uint32_t oggCrc(const uint8_t* data, std::size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
      entries[i] = r;
    }
    return entries;
  }();
  uint32_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xff];
  return crc;
}

bool prepareOgg(Bytes& b, int mixerRate, SampleHeader& header, std::string& error) {
  bool found = false;
  for (std::size_t at = 0; b.has(at, 27);) {
    if (!b.is(at, "OggS")) {
      ++at;  // like libogg, look for the next capture pattern
      continue;
    }
    const uint32_t segments = b.u8(at + 26);
    if (!b.has(at + 27, segments)) break;
    std::size_t size = 27 + segments;
    for (uint32_t i = 0; i < segments; ++i) size += b.u8(at + 27 + i);
    if (!b.has(at, size)) break;
    const uint32_t stored = b.le(at + 22, 4);
    b.setLe(at + 22, 4, 0);
    const bool valid = oggCrc(b.at(at), size) == stored;
    b.setLe(at + 22, 4, stored);
    const std::size_t packet = at + 27 + segments;
    // A page that begins a stream with a Vorbis identification header.
    if (!valid || !(b.u8(at + 5) & 0x02) || size < 27 + segments + 30 ||
        !b.is(packet, "\x01vorbis")) {
      at += valid ? size : 1;
      continue;
    }
    const uint32_t channels = b.u8(packet + 11);
    const uint32_t rate = b.le(packet + 12, 4);
    if (!found) {
      if (!checkRateAndChannels(rate, channels, error)) return false;
      header.rate = static_cast<int>(rate);
      header.channels = static_cast<int>(channels);
      found = true;
    } else if (static_cast<int>(rate) != header.rate ||
               static_cast<int>(channels) != header.channels) {
      // SDL_mixer would decode them all with the first one's format.
      return fail(error, "chained Ogg Vorbis streams differ in rate or channels");
    }
    b.setLe(packet + 12, 4, static_cast<uint32_t>(mixerRate));
    b.setLe(at + 22, 4, 0);
    b.setLe(at + 22, 4, oggCrc(b.at(at), size));
    at += size;
  }
  if (!found) return fail(error, "OGG bitstream is not valid Vorbis stream!");
  header.labelRate = mixerRate;
  return true;
}

// ---------------------------------------------------------------------------
// FLAC: STREAMINFO, the first metadata block.

bool prepareFlac(Bytes& b, int mixerRate, SampleHeader& header, std::string& error) {
  if (!b.has(8, 34) || (b.u8(4) & 0x7f) != 0 || b.be(5, 3) != 34)
    return fail(error, "FLAC file does not start with its STREAMINFO block");
  const uint32_t rate = b.be(18, 3) >> 4;
  const uint32_t channels = ((b.u8(20) >> 1) & 0x07) + 1;
  const uint32_t bits = (((b.u8(20) & 0x01) << 4) | (b.u8(21) >> 4)) + 1;
  header.rate = static_cast<int>(rate);
  header.channels = static_cast<int>(channels);
  // SDL_mixer converts from this rate even when no frame decodes, and a
  // rate of 0 sends SDL's converter into endless recursion.
  if (!checkRate(rate, error)) return false;
  // SDL_mixer 1.2.12 decodes 16-bit stereo only and refuses the rest
  // itself when it meets their frames.
  if (channels != 2 || bits != 16) {
    header.leftToMixer = true;
    return true;
  }
  if (!checkRateAndChannels(rate, channels, error)) return false;
  const uint32_t packed = (static_cast<uint32_t>(mixerRate) << 4) | (b.u8(20) & 0x0f);
  b.setBe(18, 3, packed);
  header.labelRate = mixerRate;
  return true;
}

}  // namespace

bool prepareSampleHeader(std::vector<uint8_t>& bytes, int mixerRate, SampleHeader& header,
                         std::string& error) {
  // By the magic number SDL_mixer tells them by; anything else it reads as
  // it is.
  static const struct {
    const char* magic;
    SampleFormat format;
    bool (*prepare)(Bytes&, int, SampleHeader&, std::string&);
  } kinds[] = {
      {"RIFF", SampleFormat::kWav, prepareWav},       {"WAVE", SampleFormat::kWav, prepareWav},
      {"FORM", SampleFormat::kAiff, prepareAiff},     {"Crea", SampleFormat::kVoc, prepareVoc},
      {"OggS", SampleFormat::kOggVorbis, prepareOgg}, {"fLaC", SampleFormat::kFlac, prepareFlac},
  };
  header = SampleHeader();
  Bytes b(bytes);
  for (const auto& kind : kinds) {
    if (!b.is(0, kind.magic)) continue;
    header.format = kind.format;
    return kind.prepare(b, mixerRate, header, error);
  }
  return true;
}

void setFlacTotalSamples(std::vector<uint8_t>& bytes, uint64_t samples) {
  bytes[21] = static_cast<uint8_t>((bytes[21] & 0xf0) | ((samples >> 32) & 0x0f));
  Bytes(bytes).setBe(22, 4, static_cast<uint32_t>(samples));
}

#include "audio/sample_decoder.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "audio/sample_repair.h"
#include "audio/spliced_file.h"
#include "base/mutex.h"

const char* const kDecodeInterrupted = "start-up interrupted";
const char* const kUnrecognizedSample = "Unrecognized sound file type";

namespace {

bool fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

std::string bytesLimit(uint64_t bytes) {
  return bytes >= (uint64_t{1} << 30) ? std::to_string(bytes >> 30) + " GiB"
                                      : std::to_string(bytes) + " bytes";
}

std::string tooLarge(uint64_t bytes) {
  return "decoded sample would be larger than " + bytesLimit(bytes);
}

// SDL_mixer's words for a file that SDL_RWFromFile could not open.
constexpr const char* kNoFile = "Mix_LoadWAV_RW with NULL src";

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

 private:
  int fd_;
};

// Opens a regular file. A FIFO would block for ever and a device read
// without end, so those are refused; a directory gets the words SDL_mixer
// had for it (it opened, and read as nothing).
bool openRegularFile(const std::string& path, int& fd, uint64_t& size, std::string& error) {
  fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(error, kNoFile);
  struct stat info {};
  if (fstat(fd, &info) != 0) return fail(error, kNoFile);
  if (S_ISDIR(info.st_mode)) return fail(error, kUnrecognizedSample);
  if (S_ISFIFO(info.st_mode)) return fail(error, "not a regular file but a FIFO");
  if (S_ISCHR(info.st_mode)) return fail(error, "not a regular file but a character device");
  if (S_ISBLK(info.st_mode)) return fail(error, "not a regular file but a block device");
  if (!S_ISREG(info.st_mode)) return fail(error, "not a regular file");
  if (static_cast<uint64_t>(info.st_size) > kMaxSampleFileBytes)
    return fail(error, "file is larger than " + bytesLimit(kMaxSampleFileBytes));
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

// The first four bytes by which SDL_mixer 1.2.12 told its formats: a file
// without them it refused as kUnrecognizedSample, whatever it was.
bool sdlMixerKnew(const std::string& magic) {
  for (const char* known : {"RIFF", "WAVE", "FORM", "Crea", "OggS", "fLaC"})
    if (magic == known) return true;
  return false;
}

// libsndfile keeps why an open failed in a global: opens are made one at a
// time, and the reason read before the next.
Mutex openMutex;

SNDFILE* openSoundFile(SplicedFile& view, SF_INFO& info, std::string& reason) {
  MutexLock lock(openMutex);
  info = SF_INFO();
  SNDFILE* file = view.open(info);
  if (file == nullptr) reason = sf_strerror(nullptr);
  return file;
}

// Opens the file with libsndfile, laid out again where it reads only part of
// what SDL_mixer read (audio/sample_repair.h). view must outlive the file.
SNDFILE* openSound(int fd, uint64_t size, const std::string& magic,
                   std::unique_ptr<SplicedFile>& view, SF_INFO& info, std::string& reason) {
  view = std::make_unique<SplicedFile>(fd);
  if (magic == "Crea") {
    if (!spliceVoc(fd, size, *view, reason)) return nullptr;
    return openSoundFile(*view, info, reason);
  }
  view->addFile(0, size);
  SNDFILE* file = openSoundFile(*view, info, reason);
  if (file != nullptr || magic != "RIFF") return file;
  auto padded = std::make_unique<SplicedFile>(fd);
  if (!spliceWavPads(fd, size, *padded)) return nullptr;
  view = std::move(padded);
  return openSoundFile(*view, info, reason);
}

// ---------------------------------------------------------------------------
// What the file is, in a few words.

std::string rateText(int rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%03d", rate / 1000, rate % 1000);
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown + " kHz";
}

std::string encodingText(int subtype) {
  switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return "8-bit";
    case SF_FORMAT_PCM_16:
      return "16-bit";
    case SF_FORMAT_PCM_24:
      return "24-bit";
    case SF_FORMAT_PCM_32:
      return "32-bit";
    case SF_FORMAT_FLOAT:
      return "32-bit float";
    case SF_FORMAT_DOUBLE:
      return "64-bit float";
    case SF_FORMAT_ULAW:
      return "mu-law";
    case SF_FORMAT_ALAW:
      return "A-law";
    case SF_FORMAT_IMA_ADPCM:
      return "IMA ADPCM";
    case SF_FORMAT_MS_ADPCM:
      return "MS ADPCM";
    case SF_FORMAT_GSM610:
      return "GSM 6.10";
    case SF_FORMAT_DPCM_8:
      return "8-bit DPCM";
    case SF_FORMAT_DPCM_16:
      return "16-bit DPCM";
    case SF_FORMAT_ALAC_16:
      return "16-bit ALAC";
    case SF_FORMAT_ALAC_20:
      return "20-bit ALAC";
    case SF_FORMAT_ALAC_24:
      return "24-bit ALAC";
    case SF_FORMAT_ALAC_32:
      return "32-bit ALAC";
    default:  // Vorbis, Opus and MPEG have no depth of their own
      return "";
  }
}

std::string containerText(int format) {
  const int subtype = format & SF_FORMAT_SUBMASK;
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
      return "WAV";
    case SF_FORMAT_RF64:
      return "RF64";
    case SF_FORMAT_W64:
      return "W64";
    case SF_FORMAT_AIFF:
      return "AIFF";
    case SF_FORMAT_CAF:
      return "CAF";
    case SF_FORMAT_FLAC:
      return "FLAC";
    case SF_FORMAT_VOC:
      return "VOC";
    case SF_FORMAT_SVX:
      return "8SVX";
    case SF_FORMAT_OGG:
      return subtype == SF_FORMAT_VORBIS ? "Ogg Vorbis"
             : subtype == SF_FORMAT_OPUS ? "Opus"
             : subtype == SF_FORMAT_FLAC ? "Ogg FLAC"
                                         : "Ogg";
    case SF_FORMAT_MPEG:
      return subtype == SF_FORMAT_MPEG_LAYER_I    ? "MP1"
             : subtype == SF_FORMAT_MPEG_LAYER_II ? "MP2"
                                                  : "MP3";
    default: {
      // The rest by the file name extension libsndfile gives them.
      SF_FORMAT_INFO major{};
      major.format = format & SF_FORMAT_TYPEMASK;
      if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) != 0 ||
          major.extension == nullptr)
        return "sound file";
      std::string name = major.extension;
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return name;
    }
  }
}

std::string formatText(const SF_INFO& info) {
  const std::string encoding = encodingText(info.format & SF_FORMAT_SUBMASK);
  const std::string channels = info.channels == 1   ? "mono"
                               : info.channels == 2 ? "stereo"
                                                    : std::to_string(info.channels) + "-channel";
  return rateText(info.samplerate) + (encoding.empty() ? "" : " " + encoding) + " " + channels +
         " " + containerText(info.format);
}

// ---------------------------------------------------------------------------
// More than two channels, mixed down to stereo: front channels to their
// side, centres and surrounds at -3 dB (to both sides for a centre), the
// low-frequency channel left out, as home players mix 5.1 and 7.1.

struct Gains {
  float left, right;
};

constexpr float kMinus3dB = 0.70710678f;

Gains gainsOf(int position) {
  switch (position) {
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
      return {1.0f, 0.0f};
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
      return {0.0f, 1.0f};
    case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_SIDE_LEFT:
    case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
    case SF_CHANNEL_MAP_TOP_REAR_LEFT:
      return {kMinus3dB, 0.0f};
    case SF_CHANNEL_MAP_REAR_RIGHT:
    case SF_CHANNEL_MAP_SIDE_RIGHT:
    case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
      return {0.0f, kMinus3dB};
    case SF_CHANNEL_MAP_LFE:
    case SF_CHANNEL_MAP_AMBISONIC_B_X:
    case SF_CHANNEL_MAP_AMBISONIC_B_Y:
    case SF_CHANNEL_MAP_AMBISONIC_B_Z:
      return {0.0f, 0.0f};
    default:  // mono, the centres, W of B-format and what is not named
      return {kMinus3dB, kMinus3dB};
  }
}

// The layout of a file that names none: WAV's channel order, with the
// layouts that WAV, FLAC and CAF writers give 4 to 8 channels; Vorbis and
// Opus put the centre second.
std::vector<int> defaultLayout(int channels, bool vorbisOrder) {
  enum : int {
    FL = SF_CHANNEL_MAP_FRONT_LEFT,
    FR = SF_CHANNEL_MAP_FRONT_RIGHT,
    FC = SF_CHANNEL_MAP_FRONT_CENTER,
    LFE = SF_CHANNEL_MAP_LFE,
    BL = SF_CHANNEL_MAP_REAR_LEFT,
    BR = SF_CHANNEL_MAP_REAR_RIGHT,
    BC = SF_CHANNEL_MAP_REAR_CENTER,
    SL = SF_CHANNEL_MAP_SIDE_LEFT,
    SR = SF_CHANNEL_MAP_SIDE_RIGHT,
  };
  static const std::vector<int> kWav[] = {
      {},
      {FC},
      {FL, FR},
      {FL, FR, FC},
      {FL, FR, BL, BR},
      {FL, FR, FC, BL, BR},
      {FL, FR, FC, LFE, BL, BR},
      {FL, FR, FC, LFE, BC, SL, SR},
      {FL, FR, FC, LFE, BL, BR, SL, SR},
  };
  static const std::vector<int> kVorbis[] = {
      {},
      {FC},
      {FL, FR},
      {FL, FC, FR},
      {FL, FR, BL, BR},
      {FL, FC, FR, BL, BR},
      {FL, FC, FR, BL, BR, LFE},
      {FL, FC, FR, SL, SR, BC, LFE},
      {FL, FC, FR, SL, SR, BL, BR, LFE},
  };
  // WAVE_FORMAT_EXTENSIBLE's order of speaker positions, for the rest.
  static const int kMaskOrder[] = {FL,
                                   FR,
                                   FC,
                                   LFE,
                                   BL,
                                   BR,
                                   SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER,
                                   SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER,
                                   BC,
                                   SL,
                                   SR,
                                   SF_CHANNEL_MAP_TOP_CENTER,
                                   SF_CHANNEL_MAP_TOP_FRONT_LEFT,
                                   SF_CHANNEL_MAP_TOP_FRONT_CENTER,
                                   SF_CHANNEL_MAP_TOP_FRONT_RIGHT,
                                   SF_CHANNEL_MAP_TOP_REAR_LEFT,
                                   SF_CHANNEL_MAP_TOP_REAR_CENTER,
                                   SF_CHANNEL_MAP_TOP_REAR_RIGHT};
  if (channels <= 8) return (vorbisOrder ? kVorbis : kWav)[channels];
  std::vector<int> layout(static_cast<std::size_t>(channels), SF_CHANNEL_MAP_INVALID);
  for (std::size_t i = 0; i < layout.size() && i < std::size(kMaskOrder); ++i)
    layout[i] = kMaskOrder[i];
  return layout;
}

std::vector<Gains> downmixGains(SNDFILE* file, const SF_INFO& info) {
  std::vector<int> layout(static_cast<std::size_t>(info.channels));
  const bool named =
      sf_command(file, SFC_GET_CHANNEL_MAP_INFO, layout.data(),
                 static_cast<int>(layout.size() * sizeof(int))) == SF_TRUE &&
      std::any_of(layout.begin(), layout.end(), [](int p) { return p != SF_CHANNEL_MAP_INVALID; });
  if (!named)
    layout = defaultLayout(info.channels, (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG);
  std::vector<Gains> gains;
  for (int position : layout) gains.push_back(gainsOf(position));
  return gains;
}

// ---------------------------------------------------------------------------
// Levels: a float file may hold values beyond full scale (and a damaged one
// not-a-number); the mix-down may add up past it. They are limited there,
// where converting to integers would wrap them.

inline float limited(float value) {
  // In this order a value that is not a number passes both, to become 0.
  value = std::min(std::max(value, -1.0f), 1.0f);
  return value == value ? value : 0.0f;
}

// Rounded half away from zero, which keeps every 16-bit value exact.
inline int16_t toSample(float value) {
  const float scaled = std::min(32767.0f, std::max(-32768.0f, value * 32768.0f));
  return static_cast<int16_t>(scaled + std::copysign(0.5f, scaled));
}

// Libsoxr resamples: a library made for exactly this job, in Debian, here
// at high quality, fed block by block.
class Resampler {
 public:
  ~Resampler() {
    if (soxr_ != nullptr) soxr_delete(soxr_);
  }
  bool open(double from, double to, unsigned channels, std::string& error) {
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: samples are decoded in parallel, one to a core.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t failure = nullptr;
    soxr_ = soxr_create(from, to, channels, &failure, &io, &quality, &runtime);
    if (failure != nullptr) return fail(error, std::string("resampling failed: ") + failure);
    return true;
  }
  // Null input flushes what the resampler holds.
  bool process(const float* in, std::size_t frames, float* out, std::size_t room, std::size_t& used,
               std::size_t& made, std::string& error) {
    const soxr_error_t failure = soxr_process(soxr_, in, frames, &used, out, room, &made);
    if (failure != nullptr) return fail(error, std::string("resampling failed: ") + failure);
    return true;
  }

 private:
  soxr_t soxr_ = nullptr;
};

// Where the decoded frames go: after the lead, as 16-bit stereo, within the
// bytes allowed.
class Output {
 public:
  Output(std::vector<int16_t>& frames, uint32_t lead, uint64_t maxBytes)
      : frames_(frames), lead_(lead), maxBytes_(maxBytes) {
    frames_.assign(std::size_t{lead} * 2, 0);
  }
  void reserve(uint64_t frames) { frames_.reserve((lead_ + frames) * 2); }
  bool append(const float* values, std::size_t frames, unsigned channels, std::string& error) {
    if ((sound() + frames) * 4 > maxBytes_) return fail(error, tooLarge(maxBytes_));
    const std::size_t at = frames_.size();
    frames_.resize(at + 2 * frames);
    int16_t* to = frames_.data() + at;
    for (std::size_t i = 0; i < frames; ++i) {
      to[2 * i] = toSample(values[i * channels]);
      to[2 * i + 1] = channels == 1 ? to[2 * i] : toSample(values[i * channels + 1]);
    }
    return true;
  }
  uint64_t sound() const { return frames_.size() / 2 - lead_; }
  // A sample lives long: capacity reserved for frames that never came goes.
  void trim() {
    if (frames_.capacity() - frames_.size() > frames_.size() / 8) frames_.shrink_to_fit();
  }

 private:
  std::vector<int16_t>& frames_;
  const uint32_t lead_;
  const uint64_t maxBytes_;
};

constexpr std::size_t kBlockValues = 1 << 15;

// unread: whether the failure was that no sound could be read (rather than
// a limit of ours).
bool decodeOpen(SNDFILE* file, const SF_INFO& info, int mixerRate, DecodedSample& out,
                const DecodeOptions& options, std::string& error, bool& unread) {
  if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate)
    return fail(error, "sample rate " + std::to_string(info.samplerate) + " Hz is outside " +
                           std::to_string(kMinSampleRate) + " to " +
                           std::to_string(kMaxSampleRate) + " Hz");
  if (info.channels < 1) return fail(error, std::to_string(info.channels) + " channels");
  out.sourceRate = info.samplerate;
  out.sourceChannels = info.channels;
  out.format = formatText(info);

  const double ratio = static_cast<double>(mixerRate) / info.samplerate;
  Output output(out.frames, options.leadFrames, options.maxBytes);
  // libsndfile's frame count is bounded by the file for PCM, and only what a
  // header says for the others: enough to refuse early and to reserve, not
  // to trust.
  if (info.frames > 0 && info.frames < SF_COUNT_MAX) {
    const double expected = std::ceil(static_cast<double>(info.frames) * ratio);
    if (expected * 4 > static_cast<double>(options.maxBytes))
      return fail(error, tooLarge(options.maxBytes));
    output.reserve(static_cast<uint64_t>(expected) + 16);
  }

  const auto channels = static_cast<std::size_t>(info.channels);
  // Mono stays mono until the end; more channels become stereo.
  const unsigned mixed = channels == 1 ? 1 : 2;
  const std::size_t blockFrames = std::max<std::size_t>(64, kBlockValues / channels);
  const std::vector<Gains> gains = channels > 2 ? downmixGains(file, info) : std::vector<Gains>();
  std::vector<float> in(blockFrames * channels);
  std::vector<float> block(blockFrames * mixed);
  const bool resampling = info.samplerate != mixerRate;
  const std::size_t room = static_cast<std::size_t>(std::ceil(blockFrames * ratio)) + 256;
  std::vector<float> resampled(resampling ? room * mixed : 0);
  Resampler resampler;
  if (resampling && !resampler.open(info.samplerate, mixerRate, mixed, error)) return false;

  // Resamples (or passes on) `frames` frames of block; null flushes.
  auto emit = [&](const float* values, std::size_t frames) {
    if (!resampling) return output.append(values, frames, mixed, error);
    std::size_t done = 0;
    for (;;) {
      std::size_t used = 0, made = 0;
      if (!resampler.process(values == nullptr ? nullptr : values + done * mixed, frames - done,
                             resampled.data(), room, used, made, error) ||
          !output.append(resampled.data(), made, mixed, error))
        return false;
      done += used;
      if (values == nullptr ? made == 0 : done >= frames && made < room) return true;
    }
  };

  for (;;) {
    if (options.interrupted && options.interrupted()) return fail(error, kDecodeInterrupted);
    const sf_count_t got = sf_readf_float(file, in.data(), static_cast<sf_count_t>(blockFrames));
    if (got <= 0) break;
    const auto frames = static_cast<std::size_t>(got);
    if (channels <= 2) {
      for (std::size_t i = 0; i < frames * channels; ++i) block[i] = limited(in[i]);
    } else {
      for (std::size_t i = 0; i < frames; ++i) {
        float left = 0.0f, right = 0.0f;
        const float* frame = &in[i * channels];
        for (std::size_t c = 0; c < channels; ++c) {
          const float value = frame[c] == frame[c] ? frame[c] : 0.0f;
          left += gains[c].left * value;
          right += gains[c].right * value;
        }
        block[2 * i] = limited(left);
        block[2 * i + 1] = limited(right);
      }
    }
    if (!emit(block.data(), frames)) return false;
  }
  if (resampling && !emit(nullptr, 0)) return false;
  // A damaged stream plays as far as it decoded, as SDL_mixer played it.
  if (output.sound() == 0) {
    unread = true;
    const int problem = sf_error(file);
    return fail(error,
                problem != SF_ERR_NO_ERROR ? sf_error_number(problem) : "the file holds no sound");
  }
  output.trim();
  return true;
}

bool decode(const std::string& path, int mixerRate, DecodedSample& out,
            const DecodeOptions& options, std::string& error) {
  if (mixerRate < kMinSampleRate || mixerRate > kMaxSampleRate)
    return fail(error, "the mixer runs at " + std::to_string(mixerRate) + " Hz");
  int fd = -1;
  uint64_t size = 0;
  const bool opened = openRegularFile(path, fd, size, error);
  const FileDescriptor closer(fd);
  if (!opened) return false;
  if (options.interrupted && options.interrupted()) return fail(error, kDecodeInterrupted);
  char first[4] = {};
  const std::string magic(first, pread(fd, first, sizeof first, 0) == 4 ? 4 : 0);
  SF_INFO info{};
  std::string reason;
  std::unique_ptr<SplicedFile> view;
  SNDFILE* file = openSound(fd, size, magic, view, info, reason);
  bool unread = file == nullptr;
  const bool decoded =
      file != nullptr && decodeOpen(file, info, mixerRate, out, options, reason, unread);
  if (file != nullptr) sf_close(file);
  if (decoded) return true;
  // A file that SDL_mixer did not know and that no decoder reads either is
  // refused in SDL_mixer's words: a playlist that failed on such a file
  // fails with the same lines.
  return fail(error, unread && !sdlMixerKnew(magic) ? kUnrecognizedSample : reason);
}

// ---------------------------------------------------------------------------
// Files that are not samples, as people mistake them for ones.

// A file name without its extension.
std::string stem(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// As a shell reads it back.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool looksLikeText(const std::string& head) {
  for (unsigned char c : head)
    if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') return false;
  return true;
}

}  // namespace

bool decodeSample(const std::string& path, int mixerRate, DecodedSample& out, std::string& error,
                  const DecodeOptions& options) {
  out = DecodedSample();
  try {
    if (decode(path, mixerRate, out, options, error)) return true;
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  out = DecodedSample();
  return false;
}

SampleFileAdvice unreadableSampleAdvice(const std::string& path) {
  int fd = -1;
  uint64_t size = 0;
  std::string ignored;
  const bool opened = openRegularFile(path, fd, size, ignored);
  const FileDescriptor closer(fd);
  if (!opened) return {};
  char bytes[512];
  const ssize_t got = pread(fd, bytes, sizeof bytes, 0);
  if (got < 0) return {};
  const std::string head(bytes, static_cast<std::size_t>(got));
  auto at = [&head](std::size_t offset, const char* tag) {
    return head.size() >= offset && head.compare(offset, std::strlen(tag), tag) == 0;
  };
  const std::string readable =
      "velumora reads WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3, CAF, VOC and 8SVX sample files";
  const std::string name = path.substr(path.rfind('/') + 1);
  const std::string ffmpeg =
      "convert it with ffmpeg (sox cannot read it without ffmpeg): ffmpeg -i " + shellQuoted(name) +
      " " + shellQuoted(stem(name) + ".flac");
  const auto notRead = [](const std::string& kind) {
    return "it is " + kind + ", which velumora does not read";
  };
  if (head.empty()) return {"the file is empty", readable};
  if (at(4, "ftyp")) return {notRead("an MPEG-4 file (AAC or ALAC, as in .m4a)"), ffmpeg};
  if (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xff &&
      (static_cast<unsigned char>(head[1]) & 0xf6) == 0xf0)
    return {notRead("an AAC stream"), ffmpeg};
  if (at(0, "MThd") || (at(0, "RIFF") && at(8, "RMID")))
    return {"it is a MIDI file, which holds notes, not sound",
            "play it into a sample with a synthesizer, such as: timidity " + shellQuoted(name) +
                " -Ow -o " + shellQuoted(stem(name) + ".wav")};
  if (at(0, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"))
    return {notRead("a Windows Media (WMA) file"), ffmpeg};
  if (at(0, "wvpk")) return {notRead("a WavPack file"), ffmpeg};
  if (at(0, "MAC ")) return {notRead("a Monkey's Audio file"), ffmpeg};
  if (at(0, "#!AMR")) return {notRead("an AMR file"), ffmpeg};
  if (looksLikeText(head)) return {"it is text, not sound", readable};
  return {};
}

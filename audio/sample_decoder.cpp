#include "audio/sample_decoder.h"

#include <FLAC/stream_decoder.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "audio/sample_header.h"

namespace {

bool fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

std::string bytesLimit(uint64_t bytes) { return std::to_string(bytes >> 30) + " GiB"; }

// What SDL_mixer says when SDL_RWFromFile could not open the file.
constexpr const char* kNoFile = "Mix_LoadWAV_RW with NULL src";

// Reads a regular file whole. SDL_RWFromFile would block for ever on a
// FIFO and read a device without end, so those are refused; a directory
// gets the words SDL_mixer has for it (it opens, and reads as nothing).
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(error, kNoFile);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat info {};
  if (fstat(fd, &info) != 0) return fail(error, kNoFile);
  if (S_ISDIR(info.st_mode)) return fail(error, "Unrecognized sound file type");
  if (S_ISFIFO(info.st_mode)) return fail(error, "not a regular file but a FIFO");
  if (S_ISCHR(info.st_mode)) return fail(error, "not a regular file but a character device");
  if (S_ISBLK(info.st_mode)) return fail(error, "not a regular file but a block device");
  if (!S_ISREG(info.st_mode)) return fail(error, "not a regular file");
  if (static_cast<uint64_t>(info.st_size) > kMaxSampleFileBytes)
    return fail(error, "file is larger than " + bytesLimit(kMaxSampleFileBytes));
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(error, std::string("cannot read the file: ") + std::strerror(errno));
    if (n == 0) break;  // it shrank meanwhile
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return true;
}

// The file in memory, for the Ogg and FLAC libraries' read callbacks.
struct MemoryFile {
  const std::vector<uint8_t>& bytes;
  std::size_t at = 0;

  std::size_t read(void* to, std::size_t wanted) {
    const std::size_t count = std::min(wanted, bytes.size() - at);
    std::memcpy(to, bytes.data() + at, count);
    at += count;
    return count;
  }
  bool seek(int64_t to) {
    if (to < 0 || static_cast<uint64_t>(to) > bytes.size()) return false;
    at = static_cast<std::size_t>(to);
    return true;
  }
};

// SDL_mixer sizes its Ogg Vorbis buffer from the last page's granule
// position and its FLAC buffer from STREAMINFO, and trusts the stream to
// fill it: a damaged Ogg leaves the end unwritten, and a FLAC stream longer
// than STREAMINFO says overruns the heap. So the frames are counted first
// by decoding with the same library SDL_mixer uses, on the same bytes.

struct OggCount {
  uint64_t declared = 0;  // what SDL_mixer allocates for
  uint64_t decoded = 0;   // what it fills
};

bool countOggFrames(const std::vector<uint8_t>& bytes, OggCount& count, std::string& error) {
  MemoryFile file{bytes};
  ov_callbacks callbacks{};
  callbacks.read_func = [](void* to, std::size_t size, std::size_t n, void* source) {
    return size == 0 ? 0 : static_cast<MemoryFile*>(source)->read(to, size * n) / size;
  };
  callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(source);
    const int64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<int64_t>(f->at)
                                              : static_cast<int64_t>(f->bytes.size());
    return f->seek(base + offset) ? 0 : -1;
  };
  callbacks.tell_func = [](void* source) {
    return static_cast<long>(static_cast<MemoryFile*>(source)->at);
  };
  OggVorbis_File vorbis;
  if (ov_open_callbacks(&file, &vorbis, nullptr, 0, callbacks) != 0)
    return fail(error, "OGG bitstream is not valid Vorbis stream!");
  const std::unique_ptr<OggVorbis_File, int (*)(OggVorbis_File*)> closer(&vorbis, ov_clear);
  const ogg_int64_t total = ov_pcm_total(&vorbis, -1);
  const vorbis_info* info = ov_info(&vorbis, -1);
  if (total < 0 || info == nullptr) return fail(error, "OGG bitstream is not valid Vorbis stream!");
  count.declared = static_cast<uint64_t>(total);
  const uint64_t channels = static_cast<uint64_t>(info->channels);
  if (count.declared * std::max<uint64_t>(channels, 2) * 2 > kMaxDecodedSampleBytes)
    return fail(error, "decoded sample would be larger than " + bytesLimit(kMaxDecodedSampleBytes));
  std::vector<char> buffer(1 << 16);
  uint64_t decodedBytes = 0;
  int stream = 0;
  // As SDL_mixer reads: little-endian signed 16-bit, until the first hole,
  // error or end.
  for (long n; (n = ov_read(&vorbis, buffer.data(), static_cast<int>(buffer.size()), 0, 2, 1,
                            &stream)) > 0;)
    decodedBytes += static_cast<uint64_t>(n);
  count.decoded = decodedBytes / (2 * channels);
  return true;
}

struct FlacCount {
  MemoryFile file;
  uint64_t frames = 0;
  std::string problem;
};

FLAC__StreamDecoderWriteStatus countFlacFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const[], void* data) {
  auto* count = static_cast<FlacCount*>(data);
  const FLAC__FrameHeader& header = frame->header;
  // SDL_mixer allocates at the frame that starts at sample 0 and then
  // copies two 16-bit channels from every frame.
  if (header.channels != 2 || header.bits_per_sample != 16)
    count->problem = "FLAC frame that is not 16-bit stereo";
  else if ((count->frames == 0) != (header.number.sample_number == 0))
    count->problem = count->frames == 0 ? "FLAC stream does not start at sample 0"
                                        : "FLAC stream starts again at sample 0";
  count->frames += header.blocksize;
  if (count->frames * 4 > kMaxDecodedSampleBytes)
    count->problem = "decoded sample would be larger than " + bytesLimit(kMaxDecodedSampleBytes);
  return count->problem.empty() ? FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE
                                : FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
}

bool countFlacFrames(const std::vector<uint8_t>& bytes, uint64_t& frames, std::string& error) {
  const std::unique_ptr<FLAC__StreamDecoder, void (*)(FLAC__StreamDecoder*)> decoder(
      FLAC__stream_decoder_new(), FLAC__stream_decoder_delete);
  if (!decoder) throw std::bad_alloc();
  FlacCount count{MemoryFile{bytes}, 0, {}};
  using Decoder = const FLAC__StreamDecoder*;
  const auto init = FLAC__stream_decoder_init_stream(
      decoder.get(),
      [](Decoder, FLAC__byte to[], std::size_t* size, void* data) {
        *size = static_cast<FlacCount*>(data)->file.read(to, *size);
        return *size == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                          : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
      },
      [](Decoder, FLAC__uint64 to, void* data) {
        return static_cast<FlacCount*>(data)->file.seek(static_cast<int64_t>(to))
                   ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                   : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
      },
      [](Decoder, FLAC__uint64* at, void* data) {
        *at = static_cast<FlacCount*>(data)->file.at;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
      },
      [](Decoder, FLAC__uint64* length, void* data) {
        *length = static_cast<FlacCount*>(data)->file.bytes.size();
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
      },
      [](Decoder, void* data) -> FLAC__bool {
        const MemoryFile& file = static_cast<FlacCount*>(data)->file;
        return file.at == file.bytes.size();
      },
      countFlacFrame, nullptr, [](Decoder, FLAC__StreamDecoderErrorStatus, void*) {}, &count);
  if (init != FLAC__STREAM_DECODER_INIT_STATUS_OK) throw std::bad_alloc();
  FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
  if (!count.problem.empty()) return fail(error, count.problem);
  if (count.frames == 0) return fail(error, "FLAC stream holds no audio frames");
  frames = count.frames;
  return true;
}

bool withinTolerance(uint64_t frames, double expected) {
  return std::abs(static_cast<double>(frames) - expected) <= 2.0 + expected / 2000.0;
}

using ChunkPtr = std::unique_ptr<Mix_Chunk, void (*)(Mix_Chunk*)>;

// Libsoxr resamples: a library made for exactly this job, in Debian, and
// one call (soxr_oneshot) for a whole sample, at high quality.
bool resample(const std::vector<int16_t>& in, double inRate, int outRate, std::vector<int16_t>& out,
              std::string& error) {
  const std::size_t inFrames = in.size() / 2;
  const double outFrames = std::ceil(static_cast<double>(inFrames) * outRate / inRate) + 64;
  if (outFrames * 4 > static_cast<double>(kMaxDecodedSampleBytes))
    return fail(error, "decoded sample would be larger than " + bytesLimit(kMaxDecodedSampleBytes));
  out.assign(static_cast<std::size_t>(outFrames) * 2, 0);
  // No dither: its noise would differ from one run to the next, and one
  // seed must give one render.
  soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  std::size_t used = 0, made = 0;
  const soxr_error_t failure =
      soxr_oneshot(inRate, outRate, 2, in.data(), inFrames, &used, out.data(),
                   static_cast<std::size_t>(outFrames), &made, &io, &quality, nullptr);
  if (failure != nullptr) return fail(error, std::string("resampling failed: ") + failure);
  out.resize(made * 2);
  return true;
}

bool decode(const std::string& path, int mixerRate, DecodedSample& out, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes, error)) return false;

  int openRate = 0, openChannels = 0;
  Uint16 openFormat = 0;
  if (Mix_QuerySpec(&openRate, &openFormat, &openChannels) == 0)
    return fail(error, "Audio device hasn't been opened");
  if (openRate != mixerRate || openFormat != AUDIO_S16LSB ||
      (openChannels != 2 && openChannels != 4 && openChannels != 6) || mixerRate < kMinSampleRate ||
      mixerRate > kMaxSampleRate)
    return fail(error,
                "the mixer is not open as 16-bit stereo at " + std::to_string(mixerRate) + " Hz");

  SampleHeader header;
  if (!prepareSampleHeader(bytes, mixerRate, header, error)) return false;
  uint64_t frames = header.frames;  // what SDL_mixer must give back
  const bool checked = header.format != SampleFormat::kUnknown && !header.leftToMixer;
  if (header.format == SampleFormat::kOggVorbis) {
    OggCount count;
    if (!countOggFrames(bytes, count, error)) return false;
    frames = std::min(count.declared, count.decoded);
  } else if (header.format == SampleFormat::kFlac && checked) {
    if (!countFlacFrames(bytes, frames, error)) return false;
    setFlacTotalSamples(bytes, frames);
  }
  if (checked && frames * 4 * std::max(1.0, static_cast<double>(mixerRate) / header.rate) >
                     static_cast<double>(kMaxDecodedSampleBytes))
    return fail(error, "decoded sample would be larger than " + bytesLimit(kMaxDecodedSampleBytes));
  // SDL_mixer reads the first four bytes whatever the size (and
  // sdl12-compat gives no stream for 0 bytes): zeros match no format.
  if (bytes.size() < 4) bytes.resize(4, 0);

  SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (stream == nullptr) return fail(error, SDL_GetError());
  // The stream is closed here rather than by the loader, whose failure
  // paths do not all close it.
  ChunkPtr chunk(Mix_LoadWAV_RW(stream, 0), Mix_FreeChunk);
  SDL_RWclose(stream);
  if (!chunk) return fail(error, SDL_GetError());
  if (!checked)
    return fail(error, "SDL_mixer decoded a file whose header this program cannot check");

  // SDL converts to the mixer's channels; the first two are left and right.
  const auto width = static_cast<std::size_t>(openChannels);
  const uint64_t decoded = chunk->alen / (2 * width);
  const int16_t* samples = reinterpret_cast<const int16_t*>(chunk->abuf);
  // SDL must have converted the format and channels only. VOC time
  // constants may name a rate near the mixer's, which sdl12-compat then
  // converts, and classic SDL does not: either way the sound is all there,
  // at a rate that follows from its frame count.
  double rate = header.rate;
  if (header.format == SampleFormat::kOggVorbis && decoded >= frames) {
    // The end of SDL_mixer's buffer past the last decoded frame is garbage.
  } else if (withinTolerance(decoded, static_cast<double>(frames))) {
    frames = decoded;
  } else if (header.labelRate != mixerRate &&
             withinTolerance(decoded, static_cast<double>(frames) * mixerRate / header.labelRate)) {
    rate = header.rate * static_cast<double>(decoded) / static_cast<double>(frames);
    frames = decoded;
  } else {
    return fail(error, "SDL_mixer decoded " + std::to_string(decoded) +
                           " frames where the file holds " + std::to_string(frames));
  }
  out.sourceRate = header.rate;
  out.sourceChannels = header.channels;
  std::vector<int16_t> native(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    native[2 * i] = samples[width * i];
    native[2 * i + 1] = samples[width * i + 1];
  }
  chunk.reset();
  if (native.empty() || rate == mixerRate) {
    out.frames = std::move(native);
    return true;
  }
  return resample(native, rate, mixerRate, out.frames, error);
}

}  // namespace

bool decodeSample(const std::string& path, int mixerRate, DecodedSample& out, std::string& error) {
  out = DecodedSample();
  try {
    if (decode(path, mixerRate, out, error)) return true;
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  out = DecodedSample();
  return false;
}

#include "app/renderer.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/console.h"
#include "app/players.h"
#include "app/render_clock.h"
#include "playlist/console_output.h"

CapturedMixer capturedMixer;

namespace {

constexpr int kBufferFrames = 512;
constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

struct Options {
  std::string playlist;
  std::string output;
  uint64_t seconds = 60;
  unsigned seed = 0;
  bool seedGiven = false;
};

bool readUnsigned(const char* text, uint64_t max, uint64_t& value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long read = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || read > max) return false;
  value = read;
  return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    uint64_t value = 0;
    if (word == "--seconds") {
      if (!readUnsigned(i + 1 < argc ? argv[++i] : nullptr, 10ull * 24 * 3600, value) ||
          value == 0) {
        return false;
      }
      options.seconds = value;
    } else if (word == "--seed") {
      if (!readUnsigned(i + 1 < argc ? argv[++i] : nullptr, 0xffffffffu, value)) return false;
      options.seed = static_cast<unsigned>(value);
      options.seedGiven = true;
    } else {
      positional.push_back(word);
    }
  }
  if (positional.size() != 2) return false;
  options.playlist = positional[0];
  options.output = positional[1];
  return true;
}

// A WAV file written under a temporary name beside its destination and
// renamed into place only when complete, so a failed or interrupted render
// leaves no file behind.
class WavOutput {
 public:
  ~WavOutput() { discard(); }

  bool open(const std::string& path) {
    path_ = path;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      error_ = std::strerror(EISDIR);
      return false;
    }
    std::string pattern = path + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0 || (file_ = fdopen(fd, "wb")) == nullptr) {
      error_ = std::strerror(errno);
      if (fd >= 0) close(fd);
      return false;
    }
    temporary_.assign(name.data());
    // mkstemp makes the file private; the result gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return true;
  }

  const std::string& error() const { return error_; }

  bool begin(int rate, int channels) {
    rate_ = rate;
    channels_ = channels;
    return writeHeader(0);
  }

  bool append(const uint8_t* data, std::size_t bytes) {
    dataBytes_ += bytes;
    return std::fwrite(data, 1, bytes, file_) == bytes;
  }

  bool finish() {
    const bool written = std::fseek(file_, 0, SEEK_SET) == 0 && writeHeader(dataBytes_) &&
                         std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
      error_ = std::strerror(errno);
      return false;
    }
    temporary_.clear();
    return true;
  }

  void discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
  }

 private:
  bool writeHeader(uint64_t dataBytes) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels_) * 2;
    const uint32_t byteRate = static_cast<uint32_t>(rate_) * blockAlign;
    uint8_t header[44];
    auto put32 = [&](int at, uint32_t v) {
      for (int i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](int at, uint32_t v) {
      header[at] = static_cast<uint8_t>(v);
      header[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    std::memcpy(header, "RIFF", 4);
    put32(4, static_cast<uint32_t>(36 + dataBytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);  // PCM
    put16(22, static_cast<uint32_t>(channels_));
    put32(24, static_cast<uint32_t>(rate_));
    put32(28, byteRate);
    put16(32, blockAlign);
    put16(34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(40, static_cast<uint32_t>(dataBytes));
    return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
  }

  std::string path_;
  std::string temporary_;
  std::string error_;
  FILE* file_ = nullptr;
  int rate_ = 22050;
  int channels_ = 2;
  uint64_t dataBytes_ = 0;
};

std::string clockText(uint64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
                static_cast<unsigned long long>(seconds / 3600),
                static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60));
  return text;
}

// A progress line on standard error, redrawn in place; silent unless
// standard error is a terminal.
class Progress {
 public:
  explicit Progress(uint64_t totalSeconds)
      : enabled_(isatty(STDERR_FILENO) != 0),
        total_(totalSeconds),
        start_(std::chrono::steady_clock::now()) {}

  void show(uint64_t renderedFrames, int rate, bool last) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - shown_ < std::chrono::milliseconds(200)) return;
    shown_ = now;
    const double wall = std::chrono::duration<double>(now - start_).count();
    const double rendered = static_cast<double>(renderedFrames) / rate;
    const int width = 30;
    const int filled = static_cast<int>(width * rendered / static_cast<double>(total_));
    const std::string bar = std::string(filled, '#') + std::string(width - filled, '.');
    std::fprintf(stderr, "\r[%s] %s of %s  %.0fx real time%s", bar.c_str(),
                 clockText(static_cast<uint64_t>(rendered)).c_str(), clockText(total_).c_str(),
                 wall > 0 ? rendered / wall : 0.0, last ? "\n" : "");
    std::fflush(stderr);
  }

 private:
  const bool enabled_;
  const uint64_t total_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point shown_{};
};

// Plays the songs in simulated time and appends every mixed buffer to out.
// False when interrupted by a signal or when the file cannot be written.
bool renderSongs(const Options& options, RenderClock& clock, WavOutput& out, int rate, int channels,
                 bool& interrupted) {
  const std::size_t frameBytes = static_cast<std::size_t>(channels) * 2;
  std::vector<uint8_t> buffer(kBufferFrames * frameBytes);
  const uint64_t totalFrames = options.seconds * static_cast<uint64_t>(rate);
  Progress progress(options.seconds);
  uint64_t frame = 0;
  for (uint64_t count = 0; frame < totalFrames; frame += kBufferFrames, ++count) {
    // Moments past the end of the render do not sound, even in the last,
    // partly written buffer.
    clock.runUntil(std::min<uint64_t>(frame + kBufferFrames, totalFrames));
    std::memset(buffer.data(), 0, buffer.size());
    SDL_LockAudio();
    capturedMixer.mix(capturedMixer.userdata, buffer.data(), static_cast<int>(buffer.size()));
    SDL_UnlockAudio();
    const uint64_t frames = std::min<uint64_t>(kBufferFrames, totalFrames - frame);
    if (!out.append(buffer.data(), frames * frameBytes)) return false;
    if (count % 64 == 0) {
      if (signalArrived(0)) {
        interrupted = true;
        return false;
      }
      progress.show(frame, rate, false);
    }
  }
  progress.show(totalFrames, rate, true);
  return true;
}

}  // namespace

int runRender(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: velumora-render PLAYLIST OUT.wav [--seconds N] [--seed S]\n"
                 "  N: whole seconds to render (default 60); S: the seed of the random "
                 "draws (default: from the clock)\n");
    return kExitUsage;
  }
  if (!options.seedGiven) options.seed = static_cast<unsigned>(std::time(nullptr));
  WavOutput out;
  if (!out.open(options.output)) {
    printLine("Unable to write file \"" + options.output + "\" : " + out.error());
    return kExitFailed;
  }
  installSignalHandlers();
  // The device is only a host for the mixer: the renderer pulls the mix
  // itself, so no sound reaches any speaker and no time is waited.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  printLine("Velumora ver 1.0.1");
  printText("initializing...");
  if (!initialize(options.playlist.c_str())) {
    printLine("Velumora Initialization Failed");
    shutdown();
    return kExitFailed;
  }
  printLine("done");
  int rate = 0;
  int channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  if (capturedMixer.mix == nullptr || format != AUDIO_S16LSB) {
    printLine("Unable to render : the mixer cannot be driven from here");
    shutdown();
    return kExitFailed;
  }
  printLine("rendering " + std::to_string(options.seconds) + " seconds into \"" + options.output +
            "\" with seed " + std::to_string(options.seed));
  // Growth seeded the generator with the time; the draws start from the
  // seed instead.
  std::srand(options.seed);
  RenderClock clock(songList, rate);
  installPauseClock(&clock);
  startPlayers(RenderClock::playerThread);
  for (std::size_t i = 0; i < threadList.size(); ++i) {
    if (threadList[i] == nullptr) clock.markEnded(i);
  }
  bool interrupted = false;
  const bool rendered =
      out.begin(rate, channels) && renderSongs(options, clock, out, rate, channels, interrupted);
  shutdown();
  installPauseClock(nullptr);
  if (interrupted) {
    out.discard();
    printLine("interrupted: \"" + options.output + "\" not written");
    return kExitInterrupted;
  }
  if (!rendered || !out.finish()) {
    const std::string reason = out.error().empty() ? std::strerror(errno) : out.error();
    out.discard();
    printLine("Unable to write file \"" + options.output + "\" : " + reason);
    return kExitFailed;
  }
  printLine("wrote \"" + options.output + "\"");
  return kExitWritten;
}

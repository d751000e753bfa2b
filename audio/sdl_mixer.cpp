#include "audio/sdl_mixer.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <tuple>

#include "audio/play_report.h"
#include "audio/sample_decoder.h"
#include "base/console.h"

namespace {

constexpr int kBytesPerFrame = 4;
constexpr uint32_t kRenderBufferFrames = 2048;

// SDL 1.2 picks and sets up its drivers only from the environment.
bool initializeSdl(SdlMixer::Device device) {
  if (device == SdlMixer::Device::kDefault) return SDL_Init(SDL_INIT_AUDIO) != -1;
  const char* driver = device == SdlMixer::Device::kSilent ? "dummy" : "disk";
  if (device == SdlMixer::Device::kFlatOut) {
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    // The disk driver sleeps 0 ms between buffers; with the default timer
    // slack of 50 us that sleep would cost more than the mixing. The audio
    // thread inherits this thread's slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  }
  setenv("SDL_AUDIODRIVER", driver, 1);
  return SDL_Init(SDL_INIT_AUDIO) != -1;
}

void tell(const NoteStart& note, std::string line) {
  if (note.report != nullptr) note.report->report(std::move(line), note.frame);
}

}  // namespace

bool SdlMixer::Later::operator()(const NoteStart& a, const NoteStart& b) const {
  return std::tie(a.frame, a.song, a.sequence) > std::tie(b.frame, b.song, b.sequence);
}

SdlMixer::SdlMixer(Device device)
    : device_(device), bufferFrames_(device == Device::kFlatOut ? kRenderBufferFrames : 512) {}

SdlMixer::~SdlMixer() = default;

bool SdlMixer::open() {
  // The disk driver announces itself on standard error, which is the
  // renderer's own to use.
  const int savedError = device_ == Device::kFlatOut ? dup(STDERR_FILENO) : -1;
  if (savedError >= 0) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }
  const bool opened = openDevice();
  if (savedError >= 0) {
    dup2(savedError, STDERR_FILENO);
    ::close(savedError);
  }
  return opened;
}

bool SdlMixer::openDevice() {
  if (!initializeSdl(device_)) {
    printLine(std::string("SDL initialization error : ") + SDL_GetError());
    return false;
  }
  if (Mix_OpenAudio(22050, AUDIO_S16LSB, 2, static_cast<int>(bufferFrames_)) == -1) {
    printLine(std::string("Unable to open audio! : ") + SDL_GetError());
    return false;
  }
  opened_ = true;
  Uint16 format = 0;
  int channels = 0;
  Mix_QuerySpec(&rate_, &format, &channels);
  Mix_AllocateChannels(kChannels);
  Mix_SetPostMix(&SdlMixer::postMix, this);
  return true;
}

bool SdlMixer::decode(const std::string& path, std::shared_ptr<const Sample>& sample,
                      std::string& error) {
  DecodedSample decoded;
  if (!decodeSample(path, rate_, decoded, error)) return false;
  sample = std::make_shared<const Sample>(decoded.frames, bufferFrames_);
  return true;
}

void SdlMixer::start(const NoteStart& note) {
  std::lock_guard<std::mutex> lock(queueMutex_);
  if (accepting_) queue_.push(note);
}

void SdlMixer::postMix(void* self, Uint8* stream, int bytes) {
  // Nothing may unwind through SDL's C frames: a note that cannot be told
  // for want of memory goes untold.
  try {
    static_cast<SdlMixer*>(self)->mixed(stream, bytes);
  } catch (...) {
  }
}

void SdlMixer::mixed(Uint8* stream, int bytes) {
  SdlMixer* mixer = this;
  const uint64_t frames = static_cast<uint64_t>(bytes / kBytesPerFrame);
  const uint64_t first = mixer->frames_.load(std::memory_order_relaxed);
  const uint64_t mixed = first + frames;
  mixer->envelope_.apply(reinterpret_cast<int16_t*>(stream), frames, first);
  mixer->frames_.store(mixed, std::memory_order_release);
  if (mixer->hook_ != nullptr) {
    mixer->hook_->mixed(stream, bytes, mixed);
  } else if (mixer->device_ == Device::kFlatOut) {
    // Nothing is rendering: do not spin.
    SDL_Delay(5);
  }
  // The next buffer is assumed as long as this one.
  mixer->dispatch(mixed, mixed + frames);
}

void SdlMixer::dispatch(uint64_t begin, uint64_t end) {
  std::lock_guard<std::mutex> lock(queueMutex_);
  while (!queue_.empty() && queue_.top().frame < end) {
    const NoteStart note = queue_.top();
    queue_.pop();
    // A note whose frame has passed starts at once.
    const uint64_t into = note.frame > begin ? note.frame - begin : 0;
    const auto offset = static_cast<uint32_t>(std::min<uint64_t>(into, note.sample->leadFrames()));
    int channel = 0;
    while (channel < kChannels && Mix_Playing(channel) != 0) ++channel;
    if (channel == kChannels) {
      // Let SDL_mixer refuse it, in its own words.
      refused_.abuf = const_cast<Uint8*>(note.sample->playFrom(1));
      refused_.alen = 4;
      Mix_PlayChannelTimed(-1, &refused_, 0, -1);
      tell(note, *note.fileName + " : Unable to play channel : " + SDL_GetError());
      continue;
    }
    // An empty sample starts nothing: there is nothing to hear.
    if (note.sample->frames() == 0) continue;
    Mix_Chunk& record = records_[channel];
    record.allocated = 0;
    record.abuf = const_cast<Uint8*>(note.sample->playFrom(offset));
    record.alen = static_cast<Uint32>(note.sample->playBytes(offset));
    // The envelope gives the level back after the 16-bit sum.
    record.volume = MIX_MAX_VOLUME / MixEnvelope::kHeadroom;
    if (Mix_PlayChannelTimed(channel, &record, 0, -1) == -1) {
      tell(note, *note.fileName + " : Unable to play channel : " + SDL_GetError());
      continue;
    }
    if (Mix_SetPosition(channel, note.angle, note.distance) == 0) {
      tell(note, std::string("Mix_SetPosition Failed : ") + SDL_GetError());
    }
  }
}

int SdlMixer::playingChannels() { return opened_ ? Mix_Playing(-1) : 0; }

void SdlMixer::haltAll() {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    accepting_ = false;
    queue_ = {};
  }
  if (Mix_Playing(-1) > 0) Mix_HaltChannel(-1);
  Mix_AllocateChannels(0);
}

void SdlMixer::setHook(MixHook* hook) {
  SDL_LockAudio();
  hook_ = hook;
  SDL_UnlockAudio();
}

void SdlMixer::close() {
  if (opened_) Mix_SetPostMix(nullptr, nullptr);
  Mix_CloseAudio();
  opened_ = false;
}

void SdlMixer::quit() { SDL_Quit(); }

#include "audio/sdl_mixer.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "audio/play_report.h"
#include "audio/sample_decoder.h"
#include "base/console.h"

namespace {

// Rendering mixes in larger buffers than live: each costs the disk driver a
// pause and a write, and SDL_mixer a copy for each playing channel's effect.
// Not larger than this, though: whether a note finds a free channel is
// decided once per buffer, so when all 16 are busy a larger buffer would
// refuse other notes than renders always have (and, measured, gain little).
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

}  // namespace

SdlMixer::SdlMixer(Device device, MixFormat format, uint32_t bufferFrames)
    : device_(device),
      bufferFrames_(bufferFrames != 0            ? bufferFrames
                    : device == Device::kFlatOut ? kRenderBufferFrames
                                                 : liveBufferFrames(format.rate)),
      rate_(format.rate),
      channels_(format.channels) {}

SdlMixer::~SdlMixer() {
  // The device is closed by now: the channels' notes go back to the queue,
  // which lets them go.
  releaseChannels(true);
}

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
  if (Mix_OpenAudio(rate_, AUDIO_S16LSB, channels_, static_cast<int>(bufferFrames_)) == -1) {
    printLine(std::string("Unable to open audio! : ") + SDL_GetError());
    return false;
  }
  opened_ = true;
  Uint16 format = 0;
  Mix_QuerySpec(&rate_, &format, &channels_);
  // A device may give fewer channels than asked for; the mix is then made
  // for those it has.
  const SpeakerLayout* layout = SpeakerLayout::of(channels_);
  if (layout == nullptr) {
    printLine("Unable to open audio! : the device plays " + std::to_string(channels_) +
              " channels, not 2, 4 or 6");
    return false;
  }
  if (channels_ > 2) panner_ = std::make_unique<SurroundPanner>(*layout);
  Mix_AllocateChannels(kChannels);
  Mix_SetPostMix(&SdlMixer::postMix, this);
  return true;
}

bool SdlMixer::decode(const std::string& path, const std::function<bool()>& interrupted,
                      std::shared_ptr<const Sample>& sample, std::string& error) {
  DecodedSample decoded;
  DecodeOptions options;
  options.leadFrames = bufferFrames_;
  options.interrupted = interrupted;
  if (!decodeSample(path, rate_, decoded, error, options)) return false;
  sample = std::make_shared<const Sample>(std::move(decoded.frames), bufferFrames_,
                                          std::move(decoded.format), channels_);
  return true;
}

void SdlMixer::start(NoteStart note) { queue_.push(std::move(note)); }

void SdlMixer::collect() { queue_.collect(); }

void SdlMixer::postMix(void* self, Uint8* stream, int bytes) {
  // Nothing may unwind through SDL's C frames: a note that cannot be told
  // for want of memory goes untold.
  try {
    static_cast<SdlMixer*>(self)->mixed(stream, bytes);
  } catch (...) {
  }
}

void SdlMixer::mixed(Uint8* stream, int bytes) {
  const uint64_t frames = static_cast<uint64_t>(bytes / (2 * channels_));
  if (paused_) {
    // Every channel stands paused: SDL_mixer mixed silence, and no note
    // starts until the mix resumes.
    framesPaused_ += frames;
    if (hook_ != nullptr) {
      hook_->mixed(stream, bytes, frames_.load(std::memory_order_relaxed));
    } else if (device_ == Device::kFlatOut) {
      SDL_Delay(5);
    }
    return;
  }
  const uint64_t first = frames_.load(std::memory_order_relaxed);
  const uint64_t mixed = first + frames;
  if (levelled_) envelope_.apply(reinterpret_cast<int16_t*>(stream), frames, channels_, first);
  frames_.store(mixed, std::memory_order_release);
  if (hook_ != nullptr) {
    hook_->mixed(stream, bytes, mixed);
  } else if (device_ == Device::kFlatOut) {
    // Nothing is rendering: do not spin.
    SDL_Delay(5);
  }
  // The next buffer is assumed as long as this one.
  dispatch(mixed, mixed + frames);
  // A hook that paused the mix: the notes just started wait with the others.
  if (paused_) Mix_Pause(-1);
}

void SdlMixer::releaseChannels(bool all) {
  for (int channel = 0; channel < kChannels; ++channel) {
    if (playing_[channel] == nullptr || (!all && Mix_Playing(channel) != 0)) continue;
    queue_.finish(playing_[channel]);
    playing_[channel] = nullptr;
  }
}

void SdlMixer::dispatch(uint64_t begin, uint64_t end) {
  releaseChannels(false);
  queue_.admit();
  while (NoteQueue::Node* node = queue_.due(end)) {
    const NoteStart& note = node->note;
    // A note whose frame has passed starts at once.
    const uint64_t into = note.frame > begin ? note.frame - begin : 0;
    const auto offset = static_cast<uint32_t>(std::min<uint64_t>(into, note.sample->leadFrames()));
    int channel = 0;
    while (channel < kChannels && Mix_Playing(channel) != 0) ++channel;
    if (channel == kChannels) {
      // Let SDL_mixer refuse it, in its own words.
      refused_.abuf = const_cast<Uint8*>(note.sample->playFrom(1));
      refused_.alen = static_cast<Uint32>(2 * channels_);
      Mix_PlayChannelTimed(-1, &refused_, 0, -1);
      NoteQueue::mark(node, NoteQueue::Outcome::kRefused, SDL_GetError());
      queue_.finish(node);
      continue;
    }
    // An empty sample starts nothing: there is nothing to hear.
    if (note.sample->frames() == 0) {
      NoteQueue::started(node);
      queue_.finish(node);
      continue;
    }
    Mix_Chunk& record = records_[channel];
    record.allocated = 0;
    record.abuf = const_cast<Uint8*>(note.sample->playFrom(offset));
    record.alen = static_cast<Uint32>(note.sample->playBytes(offset));
    record.volume = static_cast<Uint8>(channelVolume(note));
    if (Mix_PlayChannelTimed(channel, &record, 0, -1) == -1) {
      NoteQueue::mark(node, NoteQueue::Outcome::kRefused, SDL_GetError());
      queue_.finish(node);
      continue;
    }
    // The channel holds the note, and so its sample, until it ends.
    playing_[channel] = node;
    // A failure is told when the channel hands the note back.
    if (panner_ != nullptr) {
      if (!panner_->place(channel, note.angle, note.distance)) {
        NoteQueue::mark(node, NoteQueue::Outcome::kPlacementFailed, SDL_GetError());
      } else {
        NoteQueue::started(node);
      }
    } else if (Mix_SetPosition(channel, note.angle, note.distance) == 0) {
      NoteQueue::mark(node, NoteQueue::Outcome::kPositionFailed, SDL_GetError());
    } else {
      NoteQueue::started(node);
    }
  }
}

int SdlMixer::channelVolume(const NoteStart& note) {
  if (note.gain == nullptr) return kUnityVolume;
  const float gain = note.gain->value();
  // Not a number plays as nothing.
  if (!(gain > 0)) return 0;
  return static_cast<int>(std::min<long>(std::lround(gain * kUnityVolume), MIX_MAX_VOLUME));
}

uint64_t SdlMixer::framesPlayed() const {
  return frames_.load(std::memory_order_relaxed) + framesPaused_;
}

uint64_t SdlMixer::setPaused(bool paused) {
  SDL_LockAudio();
  if (opened_ && paused != paused_) {
    // Mix_Pause() keeps each channel where it is; the notes of the next
    // buffer are on their channels already, and wait there too.
    if (paused) {
      Mix_Pause(-1);
    } else {
      Mix_Resume(-1);
    }
    paused_ = paused;
  }
  const uint64_t frame = framesPlayed();
  SDL_UnlockAudio();
  return frame;
}

uint64_t SdlMixer::setVolume(double volume) {
  SDL_LockAudio();
  // The envelope reads it once per buffer, as the buffer begins.
  envelope_.setVolume(volume);
  const uint64_t frame = framesPlayed();
  SDL_UnlockAudio();
  return frame;
}

uint64_t SdlMixer::updateGains() {
  SDL_LockAudio();
  for (int channel = 0; channel < kChannels; ++channel) {
    if (playing_[channel] != nullptr) {
      records_[channel].volume = static_cast<Uint8>(channelVolume(playing_[channel]->note));
    }
  }
  const uint64_t frame = framesPlayed();
  SDL_UnlockAudio();
  return frame;
}

void SdlMixer::stopTaking() {
  SDL_LockAudio();
  queue_.stop();
  SDL_UnlockAudio();
  queue_.collect();
}

int SdlMixer::playingChannels() { return opened_ ? Mix_Playing(-1) : 0; }

void SdlMixer::haltAll() {
  SDL_LockAudio();
  queue_.stop();
  if (Mix_Playing(-1) > 0) Mix_HaltChannel(-1);
  releaseChannels(true);
  SDL_UnlockAudio();
  Mix_AllocateChannels(0);
  queue_.collect();
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

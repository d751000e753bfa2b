#ifndef VELUMORA_AUDIO_SDL_MIXER_H_
#define VELUMORA_AUDIO_SDL_MIXER_H_

// The Mixer on SDL 1.2 and SDL_mixer 1.2: 22050 Hz, signed 16-bit stereo,
// 512-frame buffers, 16 channels. Notes wait in a queue ordered by frame;
// after SDL_mixer has mixed each buffer (its post-mix hook, on the audio
// thread, under the audio lock), the notes that fall in the next buffer are
// started there, each on a free channel through a chunk record of that
// channel whose data begins as many frames of silence before the sound as
// the note lies into the buffer. So notes start on their exact frames, their
// position is set before their first frame is mixed, and the frames mixed are
// the clock. Nothing in the hook waits on the console: refusals go to the
// song's PlayReport.
//
// Every mixed buffer is levelled by a MixEnvelope (volume, fades, limiter).
// A MixHook sees every mixed buffer then, on the audio thread; the renderer
// plays its songs there. In flat-out mode (rendering) the device is SDL's
// disk driver writing to /dev/null without pauses, so the mix runs as fast as
// the hook lets it; while no hook is set it idles.

#include <SDL_mixer.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <queue>
#include <string>
#include <vector>

#include "audio/mix_envelope.h"
#include "audio/mixer.h"

class MixHook {
 public:
  virtual ~MixHook() = default;
  // The buffer just mixed; framesMixed counts it. The hook may start notes
  // for the next buffer through the mixer.
  virtual void mixed(const uint8_t* stream, int bytes, uint64_t framesMixed) = 0;
};

class SdlMixer : public Mixer {
 public:
  enum class Device {
    kDefault,  // as SDL_AUDIODRIVER says, or SDL's choice
    kSilent,   // SDL's dummy driver: for loading samples only
    kFlatOut,  // SDL's disk driver into /dev/null, as fast as it goes
  };
  explicit SdlMixer(Device device = Device::kDefault);
  ~SdlMixer() override;

  bool open() override;
  int rate() const override { return rate_; }
  uint32_t bufferFrames() const override { return bufferFrames_; }
  bool decode(const std::string& path, std::shared_ptr<const Sample>& sample,
              std::string& error) override;
  void start(const NoteStart& note) override;
  uint64_t framesMixed() const override { return frames_.load(std::memory_order_acquire); }
  int playingChannels() override;
  void haltAll() override;
  void close() override;
  void quit() override;

  // Null removes it. Called on the main thread.
  void setHook(MixHook* hook);
  // The level of the whole mix, applied before a hook sees a buffer.
  MixEnvelope& envelope() { return envelope_; }

 private:
  static constexpr int kChannels = 16;

  struct Later {
    bool operator()(const NoteStart& a, const NoteStart& b) const;
  };

  bool openDevice();
  static void postMix(void* self, Uint8* stream, int bytes);
  void mixed(Uint8* stream, int bytes);
  void dispatch(uint64_t begin, uint64_t end);

  const Device device_;
  const uint32_t bufferFrames_;
  int rate_ = 22050;
  bool opened_ = false;
  std::atomic<uint64_t> frames_{0};
  MixEnvelope envelope_;
  MixHook* hook_ = nullptr;  // read on the audio thread under the audio lock
  std::mutex queueMutex_;
  std::priority_queue<NoteStart, std::vector<NoteStart>, Later> queue_;
  bool accepting_ = true;
  Mix_Chunk records_[kChannels] = {};
  Mix_Chunk refused_ = {};
};

#endif  // VELUMORA_AUDIO_SDL_MIXER_H_

#ifndef VELUMORA_AUDIO_SDL_MIXER_H_
#define VELUMORA_AUDIO_SDL_MIXER_H_

// The Mixer on SDL 1.2 and SDL_mixer 1.2: signed 16-bit frames at the rate
// and on the speakers asked for (22050 Hz stereo unless told otherwise), in
// buffers of about 23 ms (512 frames at 22050 Hz), 16 channels. Notes wait
// in a NoteQueue; after SDL_mixer has mixed each buffer (its post-mix hook,
// on the audio thread, under the audio lock), the notes that fall in the
// next buffer are started there, each on a free channel through a chunk
// record of that channel whose data begins as many frames of silence before
// the sound as the note lies into the buffer. So notes start on their exact
// frames, their position is set before their first frame is mixed, and the
// frames mixed are the clock. The hook keeps the audio thread's contract
// (audio/mixer.h): a channel holds its note, and with it its sample, until
// the hook sees the channel ended and hands the note back; refusals go back
// the same way, to be told by whoever collects. A note is placed at its
// angle and distance by SDL_mixer (Mix_SetPosition) on stereo, and by a
// SurroundPanner on quad and 5.1.
//
// Every mixed buffer is levelled by a MixEnvelope (volume, fades, limiter).
// A MixHook sees every mixed buffer then, on the audio thread; the renderer
// plays its songs there. In flat-out mode (rendering) the device is SDL's
// disk driver writing to /dev/null without pauses, so the mix runs as fast as
// the hook lets it; while no hook is set it idles.
//
// A note plays at its Gain as its channel's volume (the chunk record's), set
// as it starts and again by updateGains(). The controls change the mix under
// the audio lock, between two buffers, so they take effect on the next
// buffer's first frame; a pause holds every channel where it is
// (Mix_Pause()), and the buffers played while paused are silence, counted
// apart from the frames mixed and shown to the hook all the same.

#include <SDL_mixer.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "audio/mix_envelope.h"
#include "audio/mix_format.h"
#include "audio/mixer.h"
#include "audio/surround_panner.h"

class MixHook {
 public:
  virtual ~MixHook() = default;
  // The buffer just mixed; framesMixed counts it. The hook may start notes
  // for the next buffer through the mixer, and use the controls. While the
  // mix is paused, the buffer is silence and framesMixed stands still.
  virtual void mixed(const uint8_t* stream, int bytes, uint64_t framesMixed) = 0;
};

class SdlMixer : public Mixer {
 public:
  enum class Device {
    kDefault,  // as SDL_AUDIODRIVER says, or SDL's choice
    kSilent,   // SDL's dummy driver: for loading samples only
    kFlatOut,  // SDL's disk driver into /dev/null, as fast as it goes
  };
  // format: what is asked of the device; rate() and channels() say what it
  // gave once open. bufferFrames 0: the device's own (live, about 23 ms:
  // liveBufferFrames()). A render mixes 2048 at a time, unless it asks for
  // the live buffers: controls take effect between two buffers, so only then
  // does a render take them on the frames live does.
  explicit SdlMixer(Device device = Device::kDefault, MixFormat format = MixFormat(),
                    uint32_t bufferFrames = 0);
  // close() must have run first: it takes the post-mix hook, which points
  // at this mixer, from the audio thread.
  ~SdlMixer() override;

  bool open() override;
  int rate() const override { return rate_; }
  int channels() const override { return channels_; }
  uint32_t bufferFrames() const override { return bufferFrames_; }
  bool decode(const std::string& path, const std::function<bool()>& interrupted,
              std::shared_ptr<const Sample>& sample, std::string& error) override;
  void start(NoteStart note) override;
  void collect() override;
  uint64_t framesMixed() const override { return frames_.load(std::memory_order_acquire); }
  uint64_t setPaused(bool paused) override;
  uint64_t setVolume(double volume) override;
  uint64_t updateGains() override;
  void stopTaking() override;
  int playingChannels() override;
  void haltAll() override;
  void close() override;
  void quit() override;

  // Null removes it. Called on the main thread. The audio thread calls the
  // hook under the audio lock, which this takes: once it returns, a hook
  // removed is no longer called, and may go. The hook must be removed before
  // it goes.
  void setHook(MixHook* hook);
  // The level of the whole mix, applied before a hook sees a buffer.
  MixEnvelope& envelope() { return envelope_; }
  // Leaves every buffer as SDL_mixer mixed it, at a quarter of its level
  // (the headroom): what the envelope costs is measured against this.
  // Called before open().
  void leaveUnlevelled() { levelled_ = false; }

 private:
  static constexpr int kChannels = SurroundPanner::kMixerChannels;
  // A note at gain 1 plays at this channel volume: the envelope gives the
  // level back after the 16-bit sum.
  static constexpr int kUnityVolume = MIX_MAX_VOLUME / MixEnvelope::kHeadroom;

  // The note's gain as a channel volume, 0 to MIX_MAX_VOLUME.
  static int channelVolume(const NoteStart& note);
  // Frames played so far, mixed or paused; under the audio lock.
  uint64_t framesPlayed() const;

  bool openDevice();
  static void postMix(void* self, Uint8* stream, int bytes);
  void mixed(Uint8* stream, int bytes);
  void dispatch(uint64_t begin, uint64_t end);
  // Hands back the notes of channels that have ended (all: every channel).
  void releaseChannels(bool all);

  const Device device_;
  const uint32_t bufferFrames_;
  int rate_;
  int channels_;
  bool opened_ = false;
  std::atomic<uint64_t> frames_{0};
  MixEnvelope envelope_;
  bool levelled_ = true;
  MixHook* hook_ = nullptr;  // read on the audio thread under the audio lock
  // On more than two channels: made by open() and kept until this mixer is
  // destroyed, after close() has ended the audio thread, since the effects
  // registered on SDL_mixer's channels point into it.
  std::unique_ptr<SurroundPanner> panner_;
  // Under the audio lock.
  bool paused_ = false;
  uint64_t framesPaused_ = 0;
  NoteQueue queue_;
  // What each channel plays, under the audio lock.
  NoteQueue::Node* playing_[kChannels] = {};
  Mix_Chunk records_[kChannels] = {};
  Mix_Chunk refused_ = {};
};

#endif  // VELUMORA_AUDIO_SDL_MIXER_H_

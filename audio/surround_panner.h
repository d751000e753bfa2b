#ifndef VELUMORA_AUDIO_SURROUND_PANNER_H_
#define VELUMORA_AUDIO_SURROUND_PANNER_H_

// Places the sounds of SDL_mixer's channels on quad or 5.1 speakers
// (SpeakerLayout): an effect of ours, registered with SDL_mixer
// (Mix_RegisterEffect) on a channel as its note starts, which SDL_mixer runs
// on the channel's data before mixing it and removes when the channel ends.
// SDL_mixer's own positioning does not serve here: on four channels it plays
// angle 0 from all four speakers at full level, and on six it takes the
// channels in another order than the device's.
//
// A sample's frames hold its left and right in their first two channels and
// silence in the rest, so that a sound this cannot place still plays, from
// the front pair. The effect hears the two as one point (their average) and
// gives every speaker its gain of it.
//
// Threads: place() runs under the audio lock, where the mixer starts its
// notes; the effect runs on the audio thread, reading only what place() set
// for its channel. Nothing is allocated after construction.

#include <cstddef>
#include <cstdint>

#include "audio/speaker_layout.h"

class SurroundPanner {
 public:
  // Channels of SDL_mixer that may be placed.
  static constexpr int kMixerChannels = 16;

  // layout: quad or 5.1.
  explicit SurroundPanner(const SpeakerLayout& layout);
  SurroundPanner(const SurroundPanner&) = delete;
  SurroundPanner& operator=(const SurroundPanner&) = delete;

  // Gives SDL_mixer's channel, which has just started its note, the effect
  // that places it at angle and distance; false, with SDL's reason in
  // SDL_GetError(), when SDL_mixer could not take the effect.
  bool place(int channel, int angle, int distance);

  // What the effect does to `frames` frames of the channel's data.
  void pan(int channel, int16_t* frames, std::size_t count) const;

 private:
  // Where a channel's sound goes: two speakers (the same one twice for a
  // sound at a speaker's own angle) with their gains, 1 << kGainBits for
  // full level.
  static constexpr int kGainBits = 30;
  struct Placement {
    const SurroundPanner* panner = nullptr;
    int channel = 0;
    int speakers[2] = {0, 0};
    int64_t gains[2] = {0, 0};
  };

  static void effect(int channel, void* stream, int bytes, void* placement);

  const SpeakerLayout& layout_;
  Placement placements_[kMixerChannels];
};

#endif  // VELUMORA_AUDIO_SURROUND_PANNER_H_

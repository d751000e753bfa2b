#ifndef VELUMORA_AUDIO_SPEAKER_LAYOUT_H_
#define VELUMORA_AUDIO_SPEAKER_LAYOUT_H_

// The speakers the mix is played on, in the order of the channels of a
// mixed frame, which is the order SDL hands to the device and WAV files keep
// (WAVE_FORMAT_EXTENSIBLE): stereo (front left, front right), quad (front
// left, front right, rear left, rear right) and 5.1 (front left, front
// right, centre, LFE, rear left, rear right).
//
// On stereo, a song's angle is SDL_mixer's own positioning (Mix_SetPosition),
// as the playlist language has always meant it. On quad and 5.1 a song is a
// point on the circle around the listener, heard from the two speakers
// either side of its angle at constant power (pairwise panning): at a
// speaker's own angle from that speaker alone, half-way between two from
// both at -3 dB. Every angle lies between two speakers, so no angle goes
// unheard. The LFE is left silent: it is meant for the low end of a mix made
// for it, and a sample has no word for which part of it that is.
//
// The layouts are constants: any thread may read them.

#include <cstdint>
#include <string>

class SpeakerLayout {
 public:
  static constexpr int kMostChannels = 6;

  struct Speaker {
    const char* name;  // "FL", "FR", "C", "LFE", "RL", "RR"
    int angle;         // degrees clockwise from ahead; -1 for the LFE
  };

  // The layout of 2, 4 or 6 channels; null for any other count.
  static const SpeakerLayout* of(int channels);

  int channels() const { return channels_; }
  // "stereo", "quad" or "5.1".
  const char* name() const { return name_; }
  const Speaker& speaker(int channel) const { return speakers_[channel]; }
  // The WAVE_FORMAT_EXTENSIBLE channel mask of these speakers.
  uint32_t channelMask() const { return mask_; }
  // Such as "5.1 (6 channels)".
  std::string describe() const;

  // The gain of each channel (channels() of them) for a sound at angle
  // (degrees clockwise from ahead, any whole number) and distance (0 near,
  // 255 silent: (255 - distance) / 255, as SDL_mixer attenuates). For quad
  // and 5.1 only: stereo keeps SDL_mixer's law.
  void gains(int angle, int distance, double* out) const;

  SpeakerLayout(const char* name, int channels, uint32_t mask, const Speaker* speakers)
      : name_(name), channels_(channels), mask_(mask), speakers_(speakers) {}

 private:
  const char* name_;
  int channels_;
  uint32_t mask_;
  const Speaker* speakers_;
};

#endif  // VELUMORA_AUDIO_SPEAKER_LAYOUT_H_

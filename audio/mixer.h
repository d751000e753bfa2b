#ifndef VELUMORA_AUDIO_MIXER_H_
#define VELUMORA_AUDIO_MIXER_H_

// The sound output as the rest of the program sees it: opening and closing
// the device, decoding sample files for it, and starting a sample on an exact
// frame of the mix at an angle and distance. Abstract so that the pattern
// tree, the players and the session can be tested against a mixer that only
// records what would be heard; SDL and SDL_mixer are called only behind it
// (SdlMixer).
//
// Threads: open(), stopTaking(), playingChannels(), haltAll(), close() and
// quit() are called on the main thread; decode() from any number of threads
// at once between open() and close(); start(), collect() and framesMixed()
// from any thread but the audio thread; the controls (setPaused(),
// setVolume(), updateGains()) from any thread but the audio thread, or from
// a hook that the audio thread runs (the renderer's).
//
// The audio thread (the mixer's callback) has a contract of its own:
// - it writes nothing to the console and waits on no lock that a player,
//   the console or the main thread holds: players hand notes over, and take
//   back what became of them, through lock-free stacks (NoteQueue); only the
//   audio lock, which the main thread takes briefly to start or stop the
//   mix and the controls take briefly to change it between two buffers, is
//   shared with it;
// - it allocates and frees nothing in steady state;
// - everything it reads is owned until it can no longer read it: a queued
//   note owns its sample, its file name and its report (NoteStart), and a
//   channel holds its note, and so its sample, until the channel has ended
//   and the note has been handed back.
// Shutdown stops taking notes (stopTaking()) before it waits for the
// players, and halts every channel (haltAll()) before the samples and the
// device go.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/note_queue.h"
#include "audio/sample.h"

class Mixer {
 public:
  virtual ~Mixer() = default;

  // Initialises the sound system and opens the device; false after printing
  // what failed.
  virtual bool open() = 0;
  // Frames per second of the mix, its channels (2, 4 or 6: SpeakerLayout),
  // and frames per mixer buffer.
  virtual int rate() const = 0;
  virtual int channels() const = 0;
  virtual uint32_t bufferFrames() const = 0;

  // Decodes a sample file for this mixer; false with the reason in error.
  // interrupted, when set, is asked now and then, and true ends the decoding
  // (kDecodeInterrupted).
  virtual bool decode(const std::string& path, const std::function<bool()>& interrupted,
                      std::shared_ptr<const Sample>& sample, std::string& error) = 0;

  // Starts a note on its frame; a note whose frame has passed starts at once.
  virtual void start(NoteStart note) = 0;
  // Tells the refusals of notes that the mixer has decided since, each to
  // its note's report, and lets go of what ended notes held.
  virtual void collect() = 0;
  // Frames mixed so far: the clock that songs keep time by.
  virtual uint64_t framesMixed() const = 0;

  // The controls, while the songs play. Each change takes effect on the
  // first frame that the device plays after it, and returns that frame,
  // counted in frames played since the device opened: mixed, or silent while
  // paused.
  //
  // Paused, the device plays silence: no frame is mixed and no note starts,
  // so every song's clock stands still until the mix resumes where it was.
  virtual uint64_t setPaused(bool paused) = 0;
  // The level of the whole mix; 1.0 plays the samples at their own level.
  virtual uint64_t setVolume(double volume) = 0;
  // Every sounding note takes up the value of its Gain now (a note that
  // starts reads it as it starts).
  virtual uint64_t updateGains() = 0;

  // Drops the notes not yet started, and every note started from now on.
  virtual void stopTaking() = 0;
  // Channels that are playing now.
  virtual int playingChannels() = 0;
  // Stops taking notes, halts every channel and releases them.
  virtual void haltAll() = 0;
  virtual void close() = 0;
  virtual void quit() = 0;
};

#endif  // VELUMORA_AUDIO_MIXER_H_

#ifndef VELUMORA_PATTERN_SONG_PLAYER_H_
#define VELUMORA_PATTERN_SONG_PLAYER_H_

// Plays one song as a state machine. A song's moments are the sums of its
// pauses since its origin, counted in frames of the mix; advance() walks the
// song's grown tree from where it stands until its next moment falls at or
// after a horizon, handing every Note it passes to the mixer with the frame
// of its moment. The walk lives here, in a stack of (node, place), not in
// the tree, so the tree is only read.
//
// Live, the song's own thread advances it a little ahead of the mix and then
// waits on the clock; the renderer advances every song from one thread as the
// mix needs it. Both give the same notes on the same frames and the same
// random draws, from the song's own random source. One thread at a time.
//
// A repetition of an endless song that takes no time waits for the next
// boundary of a live mixer buffer (liveBufferFrames(): 512 frames at
// 22050 Hz), and so does a walk that takes kStepsWithoutTime steps without a
// pause, so that no song can hold a thread or flood the mixer. The step is
// the same whatever buffer the mixer plays in, so a render repeats such a
// song as often as live.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/gain.h"
#include "audio/mixer.h"
#include "pattern/random_source.h"

class PatternObject;
class PlayReport;
class Song;
class Sound;

class SongGains;

// What playing touches: the mixer, the stop flag, the run's seed, and the
// songs' gains (null: every song plays at its own level).
struct PlayContext {
  Mixer& mixer;
  const std::atomic<bool>& stop;
  uint32_t seed = 0;
  SongGains* gains = nullptr;
};

class SongPlayer {
 public:
  static constexpr uint32_t kStepsWithoutTime = 1 << 16;

  // index: the song's place in the playlist (its random stream, and the
  // order of notes that share a frame); origin: the frame of its moment 0.
  // report, where the mixer tells the song's refusals, may be null.
  SongPlayer(const Song& song, uint32_t index, PlayContext& context, uint64_t origin,
             std::shared_ptr<PlayReport> report);

  // Plays up to horizon; false once the song has ended (its loops are done,
  // or the stop flag is raised).
  bool advance(uint64_t horizon);
  // The frame at which the song goes on.
  uint64_t nextMoment() const;
  uint32_t index() const { return index_; }

  // From the next repetition on, play song instead (its loop count counts on
  // from the repetitions played so far), or end there.
  void replaceAtRepetition(const Song* song) { next_ = song; }
  void endAtRepetition() { endAtRepetition_ = true; }
  const Song* song() const { return song_; }

  // For the pattern kinds, from their step().
  void enter(const PatternObject* node) { stack_.push_back(Frame{node, 0}); }
  void leave() { stack_.pop_back(); }
  void pause(uint32_t ms);
  void playNote(const Sound& sound);
  RandomSource& random() { return random_; }
  bool stopped() const { return context_.stop.load(std::memory_order_acquire); }

 private:
  struct Frame {
    const PatternObject* node;
    uint32_t next;
  };

  // Starts the next repetition of the main pattern; false when there is none.
  bool beginRepetition();
  void waitForIdleStep();

  const Song* song_;
  const Song* next_ = nullptr;
  bool endAtRepetition_ = false;
  const uint32_t index_;
  PlayContext& context_;
  const std::shared_ptr<PlayReport> report_;
  // Found by the song's name, which a replacement keeps.
  const std::shared_ptr<const Gain> gain_;
  RandomSource random_;
  std::vector<Frame> stack_;
  const uint64_t rate_;
  const uint64_t idleFrames_;
  uint64_t origin_;
  uint64_t pausedMs_ = 0;  // the sum of the pauses so far
  uint64_t extra_ = 0;     // frames added by waiting for buffers
  uint64_t repetitionMoment_ = 0;
  uint32_t played_ = 0;
  uint32_t steps_ = 0;  // since the moment last moved on
  uint64_t sequence_ = 0;
  bool started_ = false;
  bool ended_ = false;
};

#endif  // VELUMORA_PATTERN_SONG_PLAYER_H_

#include "pattern/song_player.h"

#include "audio/mix_format.h"
#include "audio/sound.h"
#include "pattern/pattern_object.h"
#include "pattern/song.h"
#include "pattern/song_gains.h"

SongPlayer::SongPlayer(const Song& song, uint32_t index, PlayContext& context, uint64_t origin,
                       std::shared_ptr<PlayReport> report)
    : song_(&song),
      index_(index),
      context_(context),
      report_(std::move(report)),
      gain_(context.gains != nullptr ? context.gains->of(song.songName) : nullptr),
      random_(context.seed, index),
      rate_(static_cast<uint64_t>(context.mixer.rate())),
      idleFrames_(liveBufferFrames(context.mixer.rate())),
      origin_(origin) {}

uint64_t SongPlayer::nextMoment() const {
  // Exact for any sum of pauses: no rounding error builds up.
  const uint64_t frames = pausedMs_ / 1000 * rate_ + pausedMs_ % 1000 * rate_ / 1000;
  return origin_ + extra_ + frames;
}

void SongPlayer::pause(uint32_t ms) {
  if (ms == 0) return;
  pausedMs_ += ms;
  steps_ = 0;
}

void SongPlayer::playNote(const Sound& sound) {
  if (sound.sample == nullptr) return;
  NoteStart note;
  note.sample = sound.sample;
  note.fileName = sound.sharedFileName;
  note.frame = nextMoment();
  note.angle = sound.angle;
  note.distance = sound.distance;
  note.report = report_;
  note.gain = gain_;
  note.song = index_;
  note.sequence = sequence_++;
  context_.mixer.start(std::move(note));
}

void SongPlayer::waitForIdleStep() {
  const uint64_t moment = nextMoment();
  extra_ += (moment / idleFrames_ + 1) * idleFrames_ - moment;
  steps_ = 0;
}

bool SongPlayer::beginRepetition() {
  if (next_ != nullptr) {
    song_ = next_;
    next_ = nullptr;
  }
  if (ended_ || stopped() || endAtRepetition_ || song_->pattern == nullptr ||
      (song_->loops != kInfiniteLoops && played_ >= song_->loops)) {
    ended_ = true;
    return false;
  }
  if (song_->loops != kInfiniteLoops) ++played_;
  repetitionMoment_ = nextMoment();
  started_ = true;
  enter(song_->pattern);
  return true;
}

bool SongPlayer::advance(uint64_t horizon) {
  for (;;) {
    if (stopped()) {
      stack_.clear();
      ended_ = true;
    }
    if (stack_.empty()) {
      if (ended_) return false;
      if (started_ && song_->loops == kInfiniteLoops && nextMoment() == repetitionMoment_) {
        waitForIdleStep();
      }
      if (nextMoment() >= horizon) return true;
      if (!beginRepetition()) return false;
      continue;
    }
    if (nextMoment() >= horizon) return true;
    if (++steps_ > kStepsWithoutTime) {
      waitForIdleStep();
      continue;
    }
    Frame& top = stack_.back();
    top.node->step(*this, top.next);
  }
}

#include "app/players.h"

#include <algorithm>

#include "app/session.h"
#include "audio/play_report.h"
#include "base/console.h"

namespace {

// Players walk their trees on the heap; their stacks hold little.
constexpr std::size_t kPlayerStackBytes = 256 * 1024;

uint64_t roundUp(uint64_t frame, uint64_t step) { return (frame + step - 1) / step * step; }

}  // namespace

Players::Players(Session& session) : session_(session) {}

Players::~Players() { join(); }

void Players::start(const std::vector<std::shared_ptr<Song>>& songs, bool inBackground) {
  const uint64_t buffer = session_.mixer().bufferFrames();
  origin_ = roundUp(session_.clock()->now() + kLeadFrames, buffer);
  for (const auto& song : songs) {
    slots_.push_back(std::make_unique<Slot>());
    slots_.back()->song = song;
    slots_.back()->index = static_cast<uint32_t>(slots_.size() - 1);
  }
  std::string error;
  if (inBackground && starter_.start([this] { startAll(0); }, kPlayerStackBytes, error)) return;
  startAll(0);
}

void Players::update(const std::vector<std::shared_ptr<Song>>& replacements,
                     const std::vector<std::shared_ptr<Song>>& added) {
  // The starter thread reads the slots.
  starter_.join();
  const std::size_t first = slots_.size();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < replacements.size() && i < first; ++i) {
      Slot& slot = *slots_[i];
      if (replacements[i] == nullptr) {
        slot.ending = true;
      } else if (replacements[i] != slot.song) {
        slot.next = replacements[i];
      }
    }
  }
  for (const auto& song : added) {
    slots_.push_back(std::make_unique<Slot>());
    slots_.back()->song = song;
    slots_.back()->index = static_cast<uint32_t>(slots_.size() - 1);
  }
  startAll(first);
}

void Players::startAll(std::size_t from) {
  for (std::size_t i = from; i < slots_.size(); ++i) {
    if (session_.stopFlag().load(std::memory_order_acquire)) break;
    Slot& slot = *slots_[i];
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++running_;
    }
    std::string error;
    if (!startDetachedThread([this, &slot] { play(slot); }, kPlayerStackBytes, error)) {
      printLine("can't start the player of song \"" + std::string(slot.song->songName) +
                "\" : " + error);
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
    }
  }
}

void Players::join() {
  starter_.join();
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [this] { return running_ == 0; });
}

void Players::printSerialised(const std::string& line) {
  std::lock_guard<std::mutex> lock(session_.consoleLock());
  printLine(line);
}

void Players::play(Slot& slot) {
  try {
    playSong(slot);
  } catch (const std::bad_alloc&) {
    printSerialised(std::string(slot.song->songName) + " : out of memory");
  }
  // Nothing of this thread may touch the session after this.
  std::lock_guard<std::mutex> lock(mutex_);
  if (--running_ == 0) ended_.notify_all();
}

void Players::playSong(Slot& slot) {
  std::shared_ptr<Song> song = slot.song;
  std::shared_ptr<Song> next;
  const std::string name(song->songName);
  const std::string times =
      song->loops == kInfiniteLoops ? std::string("infinite") : std::to_string(song->loops);
  printSerialised("playing " + times + " time(s) of \"" + name + "\"");
  Clock& clock = *session_.clock();
  const std::atomic<bool>& stop = session_.stopFlag();
  const uint64_t rate = static_cast<uint64_t>(session_.mixer().rate());
  const uint64_t buffer = session_.mixer().bufferFrames();
  const uint64_t slice = rate / 2 > 2 * buffer ? rate / 2 - buffer : rate / 2;
  // A player that starts late (thousands of songs start one by one, or a
  // song is added while others play) begins where the mix is, not with a
  // burst of the notes it missed.
  const uint64_t origin = std::max(origin_, roundUp(clock.now() + kLeadFrames, buffer));
  PlayReport report(static_cast<int>(rate));
  SongPlayer player(*song, slot.index, session_.playContext(), origin, &report);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (slot.next != nullptr) {
        next = std::move(slot.next);
        player.replaceAtRepetition(next.get());
      }
      if (slot.ending) player.endAtRepetition();
    }
    const bool goesOn = player.advance(clock.now() + kLeadFrames);
    if (next != nullptr && player.song() == next.get()) {
      song = std::move(next);
      std::lock_guard<std::mutex> lock(mutex_);
      slot.song = song;
    }
    if (!goesOn) break;
    // The moment is due once the clock is past moment - kLeadFrames.
    const uint64_t moment = player.nextMoment();
    const uint64_t target = moment >= kLeadFrames ? moment - kLeadFrames + 1 : 0;
    // Reports are printed about every half second while waiting: one slice
    // of the clock's, which sleeps a buffer past the frame it is given.
    do {
      report.flush();
    } while (clock.waitUntil(std::min(target, clock.now() + slice), stop) &&
             clock.now() < target);
  }
  report.flush();
  printSerialised(name + " done");
}

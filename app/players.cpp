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

void Players::start(bool inBackground) {
  const uint64_t buffer = session_.mixer().bufferFrames();
  origin_ = roundUp(session_.clock()->now() + kLeadFrames, buffer);
  std::string error;
  if (inBackground && starter_.start([this] { startAll(); }, kPlayerStackBytes, error)) return;
  startAll();
}

void Players::startAll() {
  const auto& songs = session_.songs();
  for (std::size_t i = 0; i < songs.size(); ++i) {
    if (session_.stopFlag().load(std::memory_order_acquire)) break;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++running_;
    }
    std::string error;
    if (!startDetachedThread([this, i] { play(i); }, kPlayerStackBytes, error)) {
      printLine("can't start the player of song \"" + std::string(songs[i]->songName) +
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

void Players::play(std::size_t index) {
  try {
    playSong(index);
  } catch (const std::bad_alloc&) {
    printSerialised(std::string(session_.songs()[index]->songName) + " : out of memory");
  }
  // Nothing of this thread may touch the session after this.
  std::lock_guard<std::mutex> lock(mutex_);
  --running_;
  ended_.notify_all();
}

void Players::playSong(std::size_t index) {
  const Song& song = *session_.songs()[index];
  const std::string name(song.songName);
  const std::string times =
      song.loops == kInfiniteLoops ? std::string("infinite") : std::to_string(song.loops);
  printSerialised("playing " + times + " time(s) of \"" + name + "\"");
  Clock& clock = *session_.clock();
  const std::atomic<bool>& stop = session_.stopFlag();
  const uint64_t rate = static_cast<uint64_t>(session_.mixer().rate());
  const uint64_t buffer = session_.mixer().bufferFrames();
  // A player that starts late (thousands of songs start one by one) begins
  // where the mix is, not with a burst of the notes it missed.
  const uint64_t origin = std::max(origin_, roundUp(clock.now() + kLeadFrames, buffer));
  PlayReport report(static_cast<int>(rate));
  SongPlayer player(song, static_cast<uint32_t>(index), session_.playContext(), origin, &report);
  while (player.advance(clock.now() + kLeadFrames)) {
    // The moment is due once the clock is past moment - kLeadFrames.
    const uint64_t moment = player.nextMoment();
    const uint64_t target = moment >= kLeadFrames ? moment - kLeadFrames + 1 : 0;
    // Reports are printed at least every half second while waiting.
    do {
      report.flush();
    } while (clock.waitUntil(std::min(target, clock.now() + rate / 2), stop) &&
             clock.now() < target);
  }
  report.flush();
  printSerialised(name + " done");
}

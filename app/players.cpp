#include "app/players.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <unordered_map>

#include "audio/mix_format.h"
#include "audio/play_report.h"
#include "base/console.h"
#include "pattern/song.h"

namespace {

// Players walk their trees on the heap; their stacks hold little.
constexpr std::size_t kPlayerStackBytes = 256 * 1024;

uint64_t roundUp(uint64_t frame, uint64_t step) { return (frame + step - 1) / step * step; }

// A number from a file of /proc, or 0.
uint64_t readLimit(const char* path) {
  std::ifstream in(path);
  uint64_t value = 0;
  return in >> value ? value : 0;
}

}  // namespace

std::size_t Players::mostThreads() {
  uint64_t most = kMostThreads;
  for (const char* path : {"/proc/sys/kernel/threads-max", "/proc/sys/kernel/pid_max"}) {
    const uint64_t limit = readLimit(path);
    if (limit > 0) most = std::min(most, limit / 4);
  }
  rlimit processes;
  if (getrlimit(RLIMIT_NPROC, &processes) == 0 && processes.rlim_cur != RLIM_INFINITY) {
    most = std::min<uint64_t>(most, processes.rlim_cur / 2);
  }
  return static_cast<std::size_t>(std::max<uint64_t>(most, 1));
}

Players::Players(Clock& clock, PlayContext& context)
    : clock_(clock), context_(context), mostThreads_(mostThreads()) {}

Players::~Players() { join(); }

void Players::add(const std::shared_ptr<Song>& song) {
  slots_.push_back(std::make_unique<Slot>());
  slots_.back()->song = song;
  slots_.back()->index = static_cast<uint32_t>(slots_.size() - 1);
}

void Players::start(const std::vector<std::shared_ptr<Song>>& songs, bool inBackground) {
  const uint64_t buffer = context_.mixer.bufferFrames();
  origin_ = roundUp(clock_.now() + framesAtRate(kLeadFrames, context_.mixer.rate()), buffer);
  for (const auto& song : songs) add(song);
  std::string error;
  if (inBackground && starter_.start([this] { startAll(0); }, kPlayerStackBytes, error)) return;
  startAll(0);
}

void Players::update(const Changes& changes, const std::vector<std::shared_ptr<Song>>& added) {
  // The starter thread reads the slots.
  starter_.join();
  const std::size_t first = slots_.size();
  std::unordered_map<const Song*, const std::shared_ptr<Song>*> changeOf;
  for (const auto& [old, replacement] : changes) changeOf.emplace(old, &replacement);
  {
    MutexLock lock(mutex_);
    for (const auto& slotPointer : slots_) {
      Slot& slot = *slotPointer;
      if (slot.over || slot.ending) continue;
      // The song it plays once what it was given last is taken up.
      const Song* latest = slot.next != nullptr ? slot.next.get() : slot.song.get();
      const auto change = changeOf.find(latest);
      if (change == changeOf.end() || change->second->get() == latest) continue;
      const std::shared_ptr<Song>& replacement = *change->second;
      if (replacement == nullptr) {
        slot.ending = true;
      } else {
        // Back to what it plays now: nothing to take up.
        slot.next = replacement == slot.song ? nullptr : replacement;
      }
    }
  }
  for (const auto& song : added) add(song);
  startAll(first);
}

void Players::startAll(std::size_t from) {
  for (std::size_t i = from; i < slots_.size(); ++i) {
    if (context_.stop.load(std::memory_order_acquire)) break;
    Slot& slot = *slots_[i];
    std::string error;
    bool room = false;
    {
      MutexLock lock(mutex_);
      room = running_ < mostThreads_;
      if (room) ++running_;
    }
    if (!room) {
      error = "more than " + std::to_string(mostThreads_) + " songs play at once";
    } else if (startDetachedThread([this, &slot] { play(slot); }, kPlayerStackBytes, error)) {
      continue;
    } else {
      MutexLock lock(mutex_);
      --running_;
    }
    printLine("can't start the player of song \"" + std::string(slot.song->songName) +
              "\" : " + error);
    MutexLock lock(mutex_);
    slot.over = true;
  }
}

void Players::join() {
  starter_.join();
  MutexLock lock(mutex_);
  while (running_ > 0) lock.wait(ended_);
}

void Players::printSerialised(const std::string& line) {
  MutexLock lock(console_);
  printLine(line);
}

void Players::play(Slot& slot) {
  try {
    playSong(slot);
  } catch (...) {
    // Out of memory: told if there is memory to tell it, never an abort.
    try {
      printSerialised(std::string(slot.song->songName) + " : out of memory");
    } catch (...) {
    }
  }
  // Nothing of this thread may touch the players after this.
  MutexLock lock(mutex_);
  slot.over = true;
  slot.next.reset();
  if (--running_ == 0) ended_.notify_all();
}

void Players::playSong(Slot& slot) {
  std::shared_ptr<Song> song;
  std::shared_ptr<Song> next;
  {
    MutexLock lock(mutex_);
    song = slot.song;
  }
  const std::string name(song->songName);
  const std::string times =
      song->loops == kInfiniteLoops ? std::string("infinite") : std::to_string(song->loops);
  printSerialised("playing " + times + " time(s) of \"" + name + "\"");
  Mixer& mixer = context_.mixer;
  const std::atomic<bool>& stop = context_.stop;
  const uint64_t rate = static_cast<uint64_t>(mixer.rate());
  const uint64_t buffer = mixer.bufferFrames();
  const uint64_t slice = rate / 2 > 2 * buffer ? rate / 2 - buffer : rate / 2;
  // A player that starts late (thousands of songs start one by one, or a
  // song is added while others play) begins where the mix is, not with a
  // burst of the notes it missed. One whose thread merely started a buffer
  // or two after the others still has time to make the shared origin, and
  // keeps it, so that the songs keep their time against each other.
  const uint64_t lead = framesAtRate(kLeadFrames, mixer.rate());
  const uint64_t now = clock_.now();
  const uint64_t origin = now + lead / 2 <= origin_ ? origin_ : roundUp(now + lead, buffer);
  const auto report = std::make_shared<PlayReport>(static_cast<int>(rate));
  SongPlayer player(*song, slot.index, context_, origin, report);
  for (;;) {
    {
      MutexLock lock(mutex_);
      if (slot.next != nullptr) {
        next = std::move(slot.next);
        player.replaceAtRepetition(next.get());
      }
      if (slot.ending) player.endAtRepetition();
    }
    const bool goesOn = player.advance(clock_.now() + lead);
    if (next != nullptr && player.song() == next.get()) {
      // The old song goes here, unless a note of it still waits in the mixer,
      // which holds what the note needs.
      song = std::move(next);
      MutexLock lock(mutex_);
      slot.song = song;
    }
    if (!goesOn) break;
    // The moment is due once the clock is past moment - lead.
    const uint64_t moment = player.nextMoment();
    const uint64_t target = moment >= lead ? moment - lead + 1 : 0;
    // Reports are printed about every half second while waiting: one slice
    // of the clock's, which sleeps a buffer past the frame it is given.
    do {
      mixer.collect();
      report->flush();
    } while (clock_.waitUntil(std::min(target, clock_.now() + slice), stop) &&
             clock_.now() < target);
  }
  // The song ends when its last note has started: each refusal is told
  // before its end line. Once the stop flag is up, the mixer drops what
  // waits, so this ends too.
  for (;;) {
    mixer.collect();
    if (report->undecided() == 0) break;
    if (!clock_.waitUntil(clock_.now() + buffer, stop)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  report->flush();
  printSerialised(name + " done");
}

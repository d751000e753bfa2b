#include "app/render_clock.h"

#include "app/players.h"
#include "pattern/song.h"
#include "playlist/grammar.h"

namespace {

RenderClock* activeClock = nullptr;
thread_local std::size_t currentPlayer = SIZE_MAX;

}  // namespace

RenderClock::RenderClock(const std::vector<Song*>& songs, int frameRate) : frameRate_(frameRate) {
  players_.resize(songs.size());
  for (std::size_t i = 0; i < songs.size(); ++i) {
    players_[i].song = songs[i];
    indexOf_.emplace(songs[i], i);
  }
  activeClock = this;
}

int RenderClock::playerThread(void* song) {
  RenderClock* clock = activeClock;
  const std::size_t index = clock->indexOf_.at(static_cast<const Song*>(song));
  currentPlayer = index;
  clock->beginTurn(index);
  playerMain(song);
  clock->endTurn(index, true);
  return 0;
}

void RenderClock::markEnded(std::size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  players_[index].ended = true;
}

bool RenderClock::isDue(const Player& player, uint64_t endFrame) const {
  return !player.ended && player.ms * static_cast<uint64_t>(frameRate_) < endFrame * 1000;
}

void RenderClock::runUntil(uint64_t endFrame) {
  std::unique_lock<std::mutex> lock(mutex_);
  frontier_ = endFrame;
  for (;;) {
    std::size_t next = kRenderer;
    for (std::size_t i = 0; i < players_.size(); ++i) {
      if (isDue(players_[i], endFrame) &&
          (next == kRenderer || players_[i].ms < players_[next].ms)) {
        next = i;
      }
    }
    if (next == kRenderer) return;
    turn_ = next;
    turnChanged_.notify_all();
    turnChanged_.wait(lock, [&] { return turn_ == kRenderer; });
  }
}

void RenderClock::beginTurn(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  turnChanged_.wait(lock, [&] { return turn_ == index; });
}

void RenderClock::endTurn(std::size_t index, bool ended) {
  std::lock_guard<std::mutex> lock(mutex_);
  players_[index].ended = players_[index].ended || ended;
  turn_ = kRenderer;
  turnChanged_.notify_all();
}

void RenderClock::pause(uint32_t ms) {
  const std::size_t index = currentPlayer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (releasing_) return;
    players_[index].ms += ms;
  }
  endTurn(index, false);
  beginTurn(index);
}

void RenderClock::repeated() {
  const std::size_t index = currentPlayer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Player& player = players_[index];
    const bool endless = player.song->loops == static_cast<uint32_t>(kInfiniteLoops);
    const bool tookTime = player.ms != player.msAtRepetition;
    player.msAtRepetition = player.ms;
    if (releasing_ || !endless || tookTime) return;
    // The first millisecond that falls in the next buffer.
    const uint64_t rate = static_cast<uint64_t>(frameRate_);
    player.ms = (frontier_ * 1000 + rate - 1) / rate;
    player.msAtRepetition = player.ms;
  }
  endTurn(index, false);
  beginTurn(index);
}

void RenderClock::release() {
  std::unique_lock<std::mutex> lock(mutex_);
  releasing_ = true;
  for (std::size_t i = 0; i < players_.size(); ++i) {
    while (!players_[i].ended) {
      turn_ = i;
      turnChanged_.notify_all();
      turnChanged_.wait(lock, [&] { return turn_ == kRenderer; });
    }
  }
}

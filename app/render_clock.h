#ifndef VELUMORA_APP_RENDER_CLOCK_H_
#define VELUMORA_APP_RENDER_CLOCK_H_

// Simulated time for rendering. Every player keeps its own clock in
// milliseconds, which its pauses advance instead of sleeping. Players take
// turns, one at a time: the renderer asks for every player whose time falls
// before the end of the next mixer buffer to run, earliest first and ties by
// song order, until each waits for a later moment or has ended; only then is
// that buffer mixed. So every Note starts in the buffer that holds its time,
// and every random draw happens in the same order on every run.
//
// runUntil() and release() are called by the renderer's thread; the player
// side (playerThread, pause, repeated) by the player threads.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "pattern/pause_clock.h"

class Song;

class RenderClock : public PauseClock {
 public:
  // songs in song order; frameRate converts milliseconds into frames.
  RenderClock(const std::vector<Song*>& songs, int frameRate);

  // The thread function for startPlayers() while this clock is installed.
  static int playerThread(void* song);

  // Marks a player whose thread could not start as ended.
  void markEnded(std::size_t index);

  // Runs the players due before frame end; returns when none is.
  void runUntil(uint64_t endFrame);

  void pause(uint32_t ms) override;
  // An endless song whose repetition took no time waits for the next
  // buffer, so that it cannot hold the turn forever.
  void repeated() override;
  // Lets every player run to its end, one after another in song order.
  void release() override;

 private:
  struct Player {
    const Song* song = nullptr;
    uint64_t ms = 0;
    uint64_t msAtRepetition = 0;
    bool ended = false;
  };
  static constexpr std::size_t kRenderer = SIZE_MAX;

  void beginTurn(std::size_t index);
  void endTurn(std::size_t index, bool ended);
  bool isDue(const Player& player, uint64_t endFrame) const;

  const int frameRate_;
  std::mutex mutex_;
  std::condition_variable turnChanged_;
  std::vector<Player> players_;
  std::unordered_map<const Song*, std::size_t> indexOf_;
  std::size_t turn_ = kRenderer;
  uint64_t frontier_ = 0;  // end frame of the buffer being prepared
  bool releasing_ = false;
};

#endif  // VELUMORA_APP_RENDER_CLOCK_H_

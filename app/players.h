#ifndef VELUMORA_APP_PLAYERS_H_
#define VELUMORA_APP_PLAYERS_H_

// The live players: one thread per song. A player prints its start line,
// plays its song with a SongPlayer a little ahead of the mix (kLeadFrames),
// waiting on the session's clock between its moments, and prints its end
// line when its loops are done or the stop flag rises; start and end lines
// are serialised. Songs share one origin, so they keep the time they have
// against each other. A song whose thread cannot be made is reported by name
// and the others play on. A player's thread ends with its song, freeing its
// stack, not only at shutdown.
//
// start() and join() are called on the main thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/thread.h"

class Session;

class Players {
 public:
  // How far ahead of the mix a player hands its notes to the mixer: more than
  // the sleeping error of a loaded machine, less than anyone hears.
  static constexpr uint64_t kLeadFrames = 4096;

  explicit Players(Session& session);
  ~Players();

  // In the background, a starter thread starts the players and this returns
  // at once; songs not yet started when the stop flag rises never start.
  void start(bool inBackground);
  // Waits until every player has ended; call after raising the stop flag.
  void join();
  uint64_t origin() const { return origin_; }

 private:
  void startAll();
  void play(std::size_t index);
  void playSong(std::size_t index);
  void printSerialised(const std::string& line);

  Session& session_;
  uint64_t origin_ = 0;
  Thread starter_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::size_t running_ = 0;
};

#endif  // VELUMORA_APP_PLAYERS_H_

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
// While they play, a song can be given new text, which it takes up at the
// end of its current repetition, or be told to end there, and new songs can
// join (a playlist edited under --watch).
//
// start(), update() and join() are called on the main thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/thread.h"

class Session;
class Song;

class Players {
 public:
  // How far ahead of the mix a player hands its notes to the mixer: more than
  // the sleeping error of a loaded machine, less than anyone hears.
  static constexpr uint64_t kLeadFrames = 4096;

  explicit Players(Session& session);
  ~Players();

  // Plays songs; in the background, a starter thread starts the players and
  // this returns at once; songs not yet started when the stop flag rises
  // never start.
  void start(const std::vector<std::shared_ptr<Song>>& songs, bool inBackground);
  // For each playing song (in the order they were given), its replacement:
  // itself to play on, another song to take up at its next repetition, or
  // null to end there; then starts the added songs.
  void update(const std::vector<std::shared_ptr<Song>>& replacements,
              const std::vector<std::shared_ptr<Song>>& added);
  // Waits until every player has ended; call after raising the stop flag.
  void join();
  uint64_t origin() const { return origin_; }

 private:
  struct Slot {
    std::shared_ptr<Song> song;  // what the player plays now
    std::shared_ptr<Song> next;  // what it takes up at its next repetition
    bool ending = false;         // whether it ends there instead
    uint32_t index = 0;          // its random stream and its place among notes
  };

  void startAll(std::size_t from);
  void play(Slot& slot);
  void playSong(Slot& slot);
  void printSerialised(const std::string& line);

  Session& session_;
  uint64_t origin_ = 0;
  Thread starter_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::size_t running_ = 0;
  std::vector<std::unique_ptr<Slot>> slots_;  // grown on the main thread only
};

#endif  // VELUMORA_APP_PLAYERS_H_

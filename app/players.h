#ifndef VELUMORA_APP_PLAYERS_H_
#define VELUMORA_APP_PLAYERS_H_

// The live players: one thread per song. A player prints its start line,
// plays its song with a SongPlayer a little ahead of the mix (kLeadFrames at
// 22050 Hz, as long at other rates),
// waiting on the clock between its moments, and prints its end line once its
// loops are done or the stop flag rises and the mixer has decided every note
// it handed over, so that every refusal of its notes is told before it.
// Start and end lines are serialised. Songs share one origin, so they keep
// the time they have against each other. A player's thread ends with its
// song. At most mostThreads() players run at once, well under the system's
// limit on threads, so that a huge playlist cannot take the last process ids
// of the machine; a song that finds no room is told by name, as is one whose
// thread cannot be made, and the others play on.
//
// While they play, a song can be given new text, which it takes up at the
// end of its current repetition, or be told to end there, and new songs can
// join (a playlist edited under --watch). Changes name the song they are
// for by identity, so they reach its player whatever was removed, added or
// reordered before.
//
// start(), update() and join() are called on the main thread; the players
// only read their songs and the clock, and hand notes to the mixer.
// Ownership across threads: each player holds its songs by shared_ptr, and
// reads its Slot, this object, the clock and the play context; the Slots
// are owned here, and the clock and context by the session, which destroys
// this object only after join() has seen every player end. Notes a player
// hands over own what they name (NoteStart), so nothing of a player's is
// read after it ends.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/clock.h"
#include "base/mutex.h"
#include "base/thread.h"
#include "pattern/song_player.h"

class Song;

class Players {
 public:
  // How far ahead of the mix a player hands its notes to the mixer, at
  // 22050 Hz: more than the sleeping error of a loaded machine, less than
  // anyone hears.
  static constexpr uint64_t kLeadFrames = 4096;
  // Players running at once, at most; fewer where the system allows fewer
  // threads (a quarter of its thread and process-id limits, half of the
  // user's).
  static constexpr std::size_t kMostThreads = 10000;
  static std::size_t mostThreads();

  // What a reload does to a song that plays: the song it becomes (itself to
  // play on), or null to end after its current repetition.
  using Changes = std::vector<std::pair<const Song*, std::shared_ptr<Song>>>;

  Players(Clock& clock, PlayContext& context);
  ~Players();

  // Plays songs; in the background, a starter thread starts the players and
  // this returns at once; songs not yet started when the stop flag rises
  // never start.
  void start(const std::vector<std::shared_ptr<Song>>& songs, bool inBackground);
  // Gives each change to the player of its song, then starts the added songs.
  void update(const Changes& changes, const std::vector<std::shared_ptr<Song>>& added);
  // Waits until every player has ended; call after raising the stop flag
  // and stopping the mixer's intake.
  void join();
  uint64_t origin() const { return origin_; }

 private:
  // One song's player. Its fields but index are guarded by Players::mutex_.
  struct Slot {
    std::shared_ptr<Song> song;  // what the player plays now
    std::shared_ptr<Song> next;  // what it takes up at its next repetition
    bool ending = false;         // whether it ends there instead
    bool over = false;           // its player has ended, or never started
    uint32_t index = 0;          // its random stream and its place among notes
  };

  void add(const std::shared_ptr<Song>& song);
  void startAll(std::size_t from);
  void play(Slot& slot);
  void playSong(Slot& slot);
  void printSerialised(const std::string& line);

  Clock& clock_;
  PlayContext& context_;
  const std::size_t mostThreads_;
  uint64_t origin_ = 0;
  Thread starter_;
  Mutex mutex_;
  std::condition_variable ended_;
  std::size_t running_ GUARDED_BY(mutex_) = 0;
  Mutex console_;  // serialises the start and end lines
  // Grown on the main thread while no starter runs.
  std::vector<std::unique_ptr<Slot>> slots_;
};

#endif  // VELUMORA_APP_PLAYERS_H_

#ifndef VELUMORA_APP_SESSION_H_
#define VELUMORA_APP_SESSION_H_

// Everything one run of a program has: the mixer and the clock it was given,
// the samples, the songs and their gains, the stop flag, the console lock,
// and the live players. The live program, the checker, the renderer and the
// fuzz targets each make one. Start-up, the players, reloading and shutdown
// print the program's messages in its words.
//
// All but the accessors are called on the main thread; the players run on
// threads of their own and only read their songs. A sample lives while a
// song's Sound or a note in the mixer holds it: one that a reload retires is
// freed when its last note has ended.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/clock.h"
#include "audio/mixer.h"
#include "audio/sample_cache.h"
#include "pattern/song.h"
#include "pattern/song_gains.h"
#include "pattern/song_player.h"

class Players;
class ProblemReporter;
class SourceMap;

class Session {
 public:
  // The largest playlist read again while the songs play: far more than
  // anyone writes by hand, and read without holding the console long.
  static constexpr std::size_t kMostReloadBytes = std::size_t{16} << 20;

  // clock may be null when no live player will run.
  Session(std::unique_ptr<Mixer> mixer, std::unique_ptr<Clock> clock, uint32_t seed);
  ~Session();

  // Reads and cleans the playlist, opens the mixer and builds the songs;
  // sample names are also looked for beside the playlist. False, after its
  // messages, when the program cannot run; whatever was opened is left to
  // shutdown(). The checker passes a map, which gets where each byte of the
  // cleaned text came from, and its reporter, which is told every problem
  // and makes every song be tried (buildSongs()); without one, the player's
  // lines are printed.
  bool initialize(const std::string& path, SourceMap* map = nullptr,
                  ProblemReporter* reporter = nullptr);

  // Starts one player thread per song; in the background, a starter thread
  // does it and this returns at once.
  void startPlayers(bool inBackground);

  // Reads the playlist again while the players play: songs whose text and
  // samples did not change play on undisturbed, a changed song takes up its
  // new text after its current repetition, a removed one ends there, a new
  // one starts. Says what changed in one line. A playlist that no longer
  // reads or grows, is not a regular file or is larger than
  // kMostReloadBytes is reported and the songs play on as they were (false);
  // with a map and the checker's reporter, every problem is also told where
  // it is.
  bool reload(const std::string& path, SourceMap* map = nullptr,
              ProblemReporter* reporter = nullptr);

  // Reads and builds the playlist again, silently, only to tell reporter
  // where its problems are (with map); the songs built are handed to lint,
  // then let go. For a start-up that failed on its playlist, after its
  // messages.
  void explain(const std::string& path, SourceMap& map, ProblemReporter& reporter,
               const std::function<void(const std::vector<std::shared_ptr<Song>>&)>& lint);

  // Stops the players, halts and releases the channels, destroys the songs,
  // closes the mixer and quits SDL, printing each step. Runs in full
  // whatever stage start-up reached. endPlayers, when given, ends players
  // that are not threads, once the stop flag is up.
  void shutdown(const std::function<void()>& endPlayers = nullptr);

  // The same without a word and without players: for the checker.
  void release();

  // The frame of the live players' moment 0 (0 before they start).
  uint64_t origin() const;

  Mixer& mixer() { return *mixer_; }
  Clock* clock() { return clock_.get(); }
  const std::vector<std::shared_ptr<Song>>& songs() const { return songs_; }
  // The cleaned playlist text once it is read; null before and after release().
  const BalancedText* text() const { return text_.get(); }
  SampleCache& samples() { return samples_; }
  std::atomic<bool>& stopFlag() { return stop_; }
  PlayContext& playContext() { return context_; }
  // The songs' levels, by name: the players' notes carry them.
  SongGains& gains() { return gains_; }

 private:
  bool start(const std::string& path, SourceMap* map, ProblemReporter& reporter);
  // Reads, cleans and builds; false after the messages.
  bool build(const std::string& path, std::vector<std::shared_ptr<Song>>& songs, SourceMap* map,
             ProblemReporter& reporter);

  std::unique_ptr<Mixer> mixer_;
  std::unique_ptr<Clock> clock_;
  std::atomic<bool> stop_{false};
  SongGains gains_;
  PlayContext context_;
  SampleCache samples_;
  std::shared_ptr<const BalancedText> text_;
  std::vector<std::shared_ptr<Song>> songs_;
  std::unique_ptr<Players> players_;
};

#endif  // VELUMORA_APP_SESSION_H_

#include "app/session.h"

#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "app/players.h"
#include "base/balanced_text.h"
#include "base/console.h"
#include "base/source_map.h"
#include "pattern/note.h"
#include "pattern/pattern_visitor.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"

namespace {

// The samples a song's trees name, in the order of its trees.
std::vector<const Sample*> samplesOf(const Song& song) {
  struct Samples : PatternVisitor {
    std::vector<const Sample*> all;
    void note(Note& note) override { all.push_back(note.sound.sample.get()); }
  } samples;
  walkPatterns(song.pattern, samples, References::kNamed);
  for (const auto& entry : song.namedPatterns) {
    walkPatterns(entry->pattern, samples, References::kNamed);
  }
  return samples.all;
}

// Why the playlist at path cannot be read again while the songs play, or
// empty when it can. A save in progress may leave it empty for a moment: it
// is looked at again before an empty playlist ends every song.
std::string unfitForReload(const std::string& path) {
  struct stat info;
  for (int look = 0;; ++look) {
    if (stat(path.c_str(), &info) != 0) return "";  // reading it tells why
    // A FIFO or a device would hold the console until someone writes to it.
    if (!S_ISREG(info.st_mode)) return "is not a regular file";
    if (static_cast<std::size_t>(info.st_size) > Session::kMostReloadBytes) {
      return "is larger than " + std::to_string(Session::kMostReloadBytes >> 20) + " MB";
    }
    if (info.st_size > 0 || look == 10) return "";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// Decodes ahead the samples that a playlist's text names, for as long as
// its songs are being built, whichever way that ends.
class Prefetch {
 public:
  Prefetch(SampleCache& samples, const std::string& text) : samples_(samples) {
    samples_.prefetch(quotedNames(text));
  }
  ~Prefetch() { samples_.dropPrefetched(); }
  Prefetch(const Prefetch&) = delete;
  Prefetch& operator=(const Prefetch&) = delete;

 private:
  SampleCache& samples_;
};

bool playsAlike(const Song& a, const Song& b) {
  return a.body.text == b.body.text && a.loops == b.loops && a.angle == b.angle &&
         a.distance == b.distance && samplesOf(a) == samplesOf(b);
}

}  // namespace

Session::Session(std::unique_ptr<Mixer> mixer, std::unique_ptr<Clock> clock, uint32_t seed)
    : mixer_(std::move(mixer)),
      clock_(std::move(clock)),
      context_{*mixer_, stop_, seed, &gains_},
      samples_(*mixer_) {}

Session::~Session() = default;

bool Session::initialize(const std::string& path, SourceMap* map, ProblemReporter* reporter) {
  ProblemReporter player;
  // Memory runs out as a failed start-up, never as an abort.
  try {
    return start(path, map, reporter != nullptr ? *reporter : player);
  } catch (const std::bad_alloc&) {
    printLine("out of memory");
    return false;
  }
}

bool Session::start(const std::string& path, SourceMap* map, ProblemReporter& reporter) {
  std::string text;
  if (!readWholeFile(path, text, reporter, map)) {
    reporter.say("Unable to load file " + path);
    return false;
  }
  cleanPlaylistText(text, map != nullptr ? &map->origins() : nullptr);
  if (!mixer_->open()) return false;
  text_ = std::make_shared<const BalancedText>(std::move(text));
  if (map != nullptr) map->attach(text_->text());
  samples_.setPlaylist(path);
  std::vector<std::unique_ptr<Song>> built;
  bool ok = false;
  {
    // The songs take their samples one by one, in order, telling their
    // lines as they go; meanwhile every core decodes the ones to come.
    const Prefetch prefetch(samples_, text_->text());
    ok = buildSongs(text_, samples_, built, reporter);
  }
  for (auto& song : built) songs_.push_back(std::move(song));
  if (!ok) printLine("Analyzing File String Failed");
  return ok;
}

bool Session::build(const std::string& path, std::vector<std::shared_ptr<Song>>& songs,
                    SourceMap* map, ProblemReporter& reporter) {
  std::string text;
  if (!readWholeFile(path, text, reporter, map)) return false;
  cleanPlaylistText(text, map != nullptr ? &map->origins() : nullptr);
  std::vector<std::unique_ptr<Song>> built;
  auto cleaned = std::make_shared<const BalancedText>(std::move(text));
  if (map != nullptr) map->attach(cleaned->text());
  {
    const Prefetch prefetch(samples_, cleaned->text());
    if (!buildSongs(cleaned, samples_, built, reporter)) return false;
  }
  for (auto& song : built) songs.push_back(std::move(song));
  return true;
}

void Session::explain(const std::string& path, SourceMap& map, ProblemReporter& reporter,
                      const std::function<void(const std::vector<std::shared_ptr<Song>>&)>& lint) {
  std::vector<std::shared_ptr<Song>> songs;
  muteConsole(true);
  try {
    build(path, songs, &map, reporter);
  } catch (const std::bad_alloc&) {
  }
  muteConsole(false);
  lint(songs);
}

uint64_t Session::origin() const { return players_ == nullptr ? 0 : players_->origin(); }

void Session::startPlayers(bool inBackground) {
  players_ = std::make_unique<Players>(*clock_, context_);
  players_->start(songs_, inBackground);
}

bool Session::reload(const std::string& path, SourceMap* map, ProblemReporter* reporter) {
  ProblemReporter player;
  const std::string unfit = unfitForReload(path);
  if (!unfit.empty()) {
    printLine("reload failed: \"" + path + "\" " + unfit + "; the songs play on as they were");
    return false;
  }
  samples_.forgetChanged();
  std::vector<std::shared_ptr<Song>> fresh;
  bool built = false;
  try {
    built = build(path, fresh, map, reporter != nullptr ? *reporter : player);
  } catch (const std::bad_alloc&) {
    printLine("out of memory");
  }
  samples_.forgetStale();
  if (!built) {
    printLine("reload failed: the songs play on as they were");
    return false;
  }
  // Songs are matched by name, in order; a name given twice matches its
  // second song with the second.
  std::vector<bool> matched(fresh.size(), false);
  // The names are views into the new songs' text, which these keep alive
  // while matched songs are swapped for the old ones below.
  const std::vector<std::shared_ptr<Song>> newSongs = fresh;
  std::unordered_map<std::string_view, std::deque<std::size_t>> byName;
  for (std::size_t i = 0; i < fresh.size(); ++i) byName[fresh[i]->songName].push_back(i);
  Players::Changes changes;
  int changed = 0, removed = 0;
  for (const auto& old : songs_) {
    std::shared_ptr<Song> replacement;
    const auto named = byName.find(old->songName);
    if (named != byName.end() && !named->second.empty()) {
      const std::size_t i = named->second.front();
      named->second.pop_front();
      matched[i] = true;
      replacement = playsAlike(*old, *fresh[i]) ? old : fresh[i];
      if (replacement != old) ++changed;
      fresh[i] = replacement;
    }
    if (replacement == nullptr) ++removed;
    changes.emplace_back(old.get(), std::move(replacement));
  }
  std::vector<std::shared_ptr<Song>> added;
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    if (!matched[i]) added.push_back(fresh[i]);
  }
  songs_ = fresh;
  // The summary comes before the lines of the players it starts.
  const auto songs = [](int count) {
    return std::to_string(count) + (count == 1 ? " song" : " songs");
  };
  printLine("reloaded: " + songs(changed) + " changed, " + std::to_string(added.size()) + " new, " +
            std::to_string(removed) + " removed");
  if (players_ != nullptr) players_->update(changes, added);
  return true;
}

void Session::shutdown(const std::function<void()>& endPlayers) {
  printText("terminating all threads...\n");
  stop_.store(true, std::memory_order_release);
  // Players end once the mixer has decided their notes: the ones that wait
  // are dropped.
  mixer_->stopTaking();
  if (endPlayers) endPlayers();
  if (players_ != nullptr) players_->join();
  players_.reset();
  printText("halting " + std::to_string(mixer_->playingChannels()) + " channels...");
  mixer_->haltAll();
  printLine("done.");
  printText("cleaning memory...");
  songs_.clear();
  text_.reset();
  samples_.clear();
  printLine("done");
  mixer_->close();
  printLine("audio closed");
  mixer_->quit();
  printLine("velumora is terminated");
}

void Session::release() {
  stop_.store(true, std::memory_order_release);
  mixer_->haltAll();
  songs_.clear();
  text_.reset();
  samples_.clear();
  mixer_->close();
  mixer_->quit();
}

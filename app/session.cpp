#include "app/session.h"

#include "app/players.h"
#include "base/balanced_text.h"
#include "base/console.h"
#include "base/source_map.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"

Session::Session(std::unique_ptr<Mixer> mixer, std::unique_ptr<Clock> clock, uint32_t seed)
    : mixer_(std::move(mixer)),
      clock_(std::move(clock)),
      context_{*mixer_, stop_, seed},
      samples_(*mixer_) {}

Session::~Session() = default;

bool Session::initialize(const std::string& path, SourceMap* map, ProblemSink* sink) {
  // Memory runs out as a failed start-up, never as an abort.
  try {
    return start(path, map, sink);
  } catch (const std::bad_alloc&) {
    printLine("out of memory");
    return false;
  }
}

bool Session::start(const std::string& path, SourceMap* map, ProblemSink* sink) {
  std::string text;
  if (!readWholeFile(path, text, map)) {
    printLine("Unable to load file " + path);
    return false;
  }
  cleanPlaylistText(text, map != nullptr ? &map->origins() : nullptr);
  if (!mixer_->open()) return false;
  text_ = std::make_shared<const BalancedText>(std::move(text));
  if (map != nullptr) map->attach(text_->text());
  samples_.setPlaylist(path);
  if (!buildSongs(text_, samples_, songs_, sink)) {
    printLine("Analyzing File String Failed");
    return false;
  }
  return true;
}

void Session::startPlayers(bool inBackground) {
  players_ = std::make_unique<Players>(*this);
  players_->start(inBackground);
}

void Session::shutdown(const std::function<void()>& endPlayers) {
  printText("terminating all threads...\n");
  stop_.store(true, std::memory_order_release);
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

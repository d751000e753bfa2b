#include "app/session.h"

#include "app/players.h"
#include "base/balanced_text.h"
#include "base/console.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"

Session::Session(std::unique_ptr<Mixer> mixer, std::unique_ptr<Clock> clock, uint32_t seed)
    : mixer_(std::move(mixer)),
      clock_(std::move(clock)),
      context_{*mixer_, stop_, seed},
      samples_(*mixer_) {}

Session::~Session() = default;

bool Session::initialize(const std::string& path) {
  // Memory runs out as a failed start-up, never as an abort.
  try {
    return start(path);
  } catch (const std::bad_alloc&) {
    printLine("out of memory");
    return false;
  }
}

bool Session::start(const std::string& path) {
  std::string text;
  if (!readWholeFile(path, text)) {
    printLine("Unable to load file " + path);
    return false;
  }
  cleanPlaylistText(text);
  if (!mixer_->open()) return false;
  const auto cleaned = std::make_shared<const BalancedText>(std::move(text));
  if (!buildSongs(cleaned, samples_, songs_)) {
    printLine("Analyzing File String Failed");
    return false;
  }
  return true;
}

uint64_t Session::origin() const { return players_ == nullptr ? 0 : players_->origin(); }

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
  samples_.clear();
  mixer_->close();
  mixer_->quit();
}

#include "app/song_lint.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/problem_sink.h"
#include "pattern/multi_pattern.h"
#include "pattern/note.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/song.h"
#include "pattern/wait.h"
#include "playlist/grammar.h"

namespace {

constexpr uint32_t kDayMs = 24u * 60 * 60 * 1000;
constexpr uint64_t kLongSampleSeconds = 10 * 60;

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Every node of a tree, not following references; visit(node) for each.
template <typename Visit>
void forEachNode(PatternObject* root, Visit visit) {
  std::vector<PatternObject*> pending = {root};
  while (!pending.empty()) {
    PatternObject* node = pending.back();
    pending.pop_back();
    visit(node);
    if (node->body != nullptr) {
      if (node->ownsBody) pending.push_back(node->body);
    } else if (const std::vector<PatternObject*>* children = node->subpatterns()) {
      pending.insert(pending.end(), children->rbegin(), children->rend());
    }
  }
}

struct SongLint {
  const Song& song;
  int rate;
  ProblemSink& sink;
  std::unordered_set<const Sample*>& longSamples;
  std::unordered_set<const PatternObject*> used;

  void node(PatternObject* node) {
    if (node->body != nullptr) {
      if (!node->ownsBody) used.insert(node->body);
    } else if (const auto* choice = dynamic_cast<const RandomPattern*>(node)) {
      this->choice(*choice);
    } else if (const auto* note = dynamic_cast<const Note*>(node)) {
      this->note(*note);
    } else if (const auto* randomWait = dynamic_cast<const RandomWait*>(node)) {
      if (randomWait->reversed) {
        const std::string low = std::to_string(randomWait->minimum);
        const std::string high = std::to_string(randomWait->maximum);
        sink.warning(node->text.text, "the pause range " + high + " to " + low + " runs backwards",
                     "it is read as " + low + " to " + high);
      }
      if (static_cast<uint32_t>(randomWait->maximum) > kDayMs) {
        longPause(node->text.text, "a pause of up to ", static_cast<uint32_t>(randomWait->maximum));
      }
    } else if (const auto* wait = dynamic_cast<const Wait*>(node)) {
      if (wait->duration > kDayMs) longPause(node->text.text, "a pause of ", wait->duration);
    }
  }

  void choice(const RandomPattern& choice) {
    const std::size_t choices = choice.children.size();
    const std::size_t weights = choice.weights.size();
    if (choices != weights) {
      sink.warning(
          choice.text.text,
          std::to_string(choices) + " choice(s) but " + std::to_string(weights) + " weight(s)",
          choices > weights ? "a choice without a weight never plays"
                            : "a weight without a choice makes its draws play nothing");
    }
    if (weights > 0 && std::all_of(choice.weights.begin(), choice.weights.end(),
                                   [](int32_t w) { return w == 0; })) {
      sink.warning(choice.text.text, "every weight is 0", "the choice never plays anything");
    }
  }

  void note(const Note& note) {
    const Sample* sample = note.sound.sample.get();
    if (sample == nullptr || rate <= 0) return;
    const uint64_t seconds = sample->frames() / static_cast<uint64_t>(rate);
    if (seconds <= kLongSampleSeconds || !longSamples.insert(sample).second) return;
    sink.warning(note.text.text,
                 "sample " + quoted(note.sound.fileName) + " plays for " +
                     std::to_string(seconds / 60) + " minutes",
                 "it is decoded whole into memory: about " +
                     std::to_string(sample->frames() * 4 >> 20) + " MB");
  }

  void longPause(std::string_view at, const char* what, uint32_t ms) {
    sink.warning(at, what + std::to_string(ms) + " ms is longer than a day",
                 "pauses are in milliseconds: this is " + std::to_string(ms / 3600000) + " hours");
  }

  // Whether the main pattern, through its references, reaches a note and a
  // pause that takes time.
  void pauses() {
    if (song.pattern == nullptr) return;
    bool notes = false;
    bool pause = false;
    song.forEachLeaf([&](PatternObject& leaf) {
      if (const auto* randomWait = dynamic_cast<const RandomWait*>(&leaf)) {
        pause = randomWait->maximum > 0;
      } else if (const auto* wait = dynamic_cast<const Wait*>(&leaf)) {
        pause = wait->duration > 0;
      } else {
        notes = notes || dynamic_cast<const Note*>(&leaf) != nullptr;
      }
      return !pause;
    });
    if (pause || !notes) return;
    sink.warning(song.songName, "song " + quoted(song.songName) + " never pauses",
                 song.loops == kInfiniteLoops
                     ? "it starts all its notes at once, over and over, for ever"
                     : "it starts all its notes at once");
  }

  void run() {
    if (song.pattern != nullptr) {
      forEachNode(song.pattern, [&](PatternObject* n) { node(n); });
    }
    for (const auto& entry : song.namedPatterns) {
      forEachNode(entry->pattern, [&](PatternObject* n) { node(n); });
    }
    std::unordered_map<std::string_view, const NamedPattern*> first;
    for (const auto& entry : song.namedPatterns) {
      const std::string_view keyword = keywordLookalike(entry->name);
      if (!keyword.empty()) {
        sink.warning(entry->name, "key " + quoted(entry->name) + " names a pattern",
                     "did you mean " + quoted(keyword) + "?");
      }
      const auto earlier = first.emplace(entry->name, entry.get());
      if (!earlier.second) {
        sink.warning(entry->name, "pattern " + quoted(entry->name) + " is named a second time",
                     "a name finds its first pattern, so this one is never used");
      } else if (used.count(entry->pattern) == 0 && keyword.empty()) {
        sink.warning(entry->name, "pattern " + quoted(entry->name) + " is never used",
                     "no pattern of song " + quoted(song.songName) + " refers to it");
      }
    }
    pauses();
  }
};

}  // namespace

void lintSongs(const std::vector<std::shared_ptr<Song>>& songs, int rate, ProblemSink& sink) {
  std::unordered_set<const Sample*> longSamples;
  std::unordered_map<std::string_view, const Song*> byName;
  for (const auto& song : songs) {
    if (!byName.emplace(song->songName, song.get()).second) {
      sink.warning(song->songName, "a second song named " + quoted(song->songName),
                   "both play, and their lines on the console look alike");
    }
    SongLint{*song, rate, sink, longSamples, {}}.run();
  }
}

#include "app/song_lint.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/problem_reporter.h"
#include "pattern/multi_pattern.h"
#include "pattern/note.h"
#include "pattern/pattern_visitor.h"
#include "pattern/random_pattern.h"
#include "pattern/random_wait.h"
#include "pattern/song.h"
#include "pattern/wait.h"
#include "playlist/grammar.h"

namespace {

constexpr uint32_t kDayMs = 24u * 60 * 60 * 1000;
constexpr uint64_t kLongSampleSeconds = 10 * 60;

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

void warn(ProblemReporter& reporter, std::string_view at, std::string what, std::string note) {
  reporter.report({ProblemReporter::Kind::kWarning, at, std::move(what), std::move(note)});
}

struct SongLint : PatternVisitor {
  const Song& song;
  int rate;
  ProblemReporter& reporter;
  std::unordered_set<const Sample*>& longSamples;
  std::unordered_set<const PatternObject*> used;

  SongLint(const Song& song, int rate, ProblemReporter& reporter,
           std::unordered_set<const Sample*>& longSamples)
      : song(song), rate(rate), reporter(reporter), longSamples(longSamples) {}

  void reference(PatternObject& proxy) override { used.insert(proxy.body); }

  void randomWait(RandomWait& randomWait) override {
    if (randomWait.reversed) {
      const std::string low = std::to_string(randomWait.minimum);
      const std::string high = std::to_string(randomWait.maximum);
      warn(reporter, randomWait.text.text,
           "the pause range " + high + " to " + low + " runs backwards",
           "it is read as " + low + " to " + high);
    }
    if (static_cast<uint32_t>(randomWait.maximum) > kDayMs) {
      longPause(randomWait.text.text, "a pause of up to ",
                static_cast<uint32_t>(randomWait.maximum));
    }
  }

  void wait(Wait& wait) override {
    if (wait.duration > kDayMs) longPause(wait.text.text, "a pause of ", wait.duration);
  }

  void choice(RandomPattern& choice) override {
    const std::size_t choices = choice.children.size();
    const std::size_t weights = choice.weights.size();
    if (choices != weights) {
      warn(reporter, choice.text.text,
           std::to_string(choices) + " choice(s) but " + std::to_string(weights) + " weight(s)",
           choices > weights ? "a choice without a weight never plays"
                             : "a weight without a choice makes its draws play nothing");
    }
    if (weights > 0 && std::all_of(choice.weights.begin(), choice.weights.end(),
                                   [](int32_t w) { return w == 0; })) {
      warn(reporter, choice.text.text, "every weight is 0", "the choice never plays anything");
    }
  }

  void note(Note& note) override {
    const Sample* sample = note.sound.sample.get();
    if (sample == nullptr || rate <= 0) return;
    const uint64_t seconds = sample->frames() / static_cast<uint64_t>(rate);
    if (seconds <= kLongSampleSeconds || !longSamples.insert(sample).second) return;
    warn(reporter, note.text.text,
         "sample " + quoted(note.sound.fileName) + " plays for " + std::to_string(seconds / 60) +
             " minutes",
         "it is decoded whole into memory: about " + std::to_string(sample->frames() * 4 >> 20) +
             " MB");
  }

  void longPause(std::string_view at, const char* what, uint32_t ms) {
    warn(reporter, at, what + std::to_string(ms) + " ms is longer than a day",
         "pauses are in milliseconds: this is " + std::to_string(ms / 3600000) + " hours");
  }

  // Whether the main pattern, through its references, reaches a note and a
  // pause that takes time.
  void pauses() {
    struct Leaves : PatternVisitor {
      bool notes = false;
      bool pause = false;
      void note(Note&) override { notes = true; }
      void wait(Wait& wait) override { pause = pause || wait.duration > 0; }
      void randomWait(RandomWait& wait) override { pause = pause || wait.maximum > 0; }
    } leaves;
    walkPatterns(song.pattern, leaves, References::kFollowed);
    if (leaves.pause || !leaves.notes) return;
    warn(reporter, song.songName, "song " + quoted(song.songName) + " never pauses",
         song.loops == kInfiniteLoops ? "it starts all its notes at once, over and over, for ever"
                                      : "it starts all its notes at once");
  }

  void run() {
    walkPatterns(song.pattern, *this, References::kNamed);
    for (const auto& entry : song.namedPatterns) {
      walkPatterns(entry->pattern, *this, References::kNamed);
    }
    std::unordered_map<std::string_view, const NamedPattern*> first;
    for (const auto& entry : song.namedPatterns) {
      const std::string_view keyword = keywordLookalike(entry->name);
      if (!keyword.empty()) {
        warn(reporter, entry->name, "key " + quoted(entry->name) + " names a pattern",
             "did you mean " + quoted(keyword) + "?");
      }
      const auto earlier = first.emplace(entry->name, entry.get());
      if (!earlier.second) {
        warn(reporter, entry->name, "pattern " + quoted(entry->name) + " is named a second time",
             "a name finds its first pattern, so this one is never used");
      } else if (used.count(entry->pattern) == 0 && keyword.empty()) {
        warn(reporter, entry->name, "pattern " + quoted(entry->name) + " is never used",
             "no pattern of song " + quoted(song.songName) + " refers to it");
      }
    }
    pauses();
  }
};

}  // namespace

void lintSongs(const std::vector<std::shared_ptr<Song>>& songs, int rate,
               ProblemReporter& reporter) {
  std::unordered_set<const Sample*> longSamples;
  std::unordered_map<std::string_view, const Song*> byName;
  for (const auto& song : songs) {
    if (!byName.emplace(song->songName, song.get()).second) {
      warn(reporter, song->songName, "a second song named " + quoted(song->songName),
           "both play, and their lines on the console look alike");
    }
    SongLint(*song, rate, reporter, longSamples).run();
  }
}

// Throughput of reading a playlist: cleaning, dividing, blank removal and
// building the songs (with their growth) on generated playlists written the
// way people write them: comments, blank lines, indentation, pauses, random
// pauses, references to named patterns, nested sequences and weighted
// choices. No sample files, so no audio device is needed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "audio/sample_cache.h"
#include "base/balanced_text.h"
#include "base/problem_reporter.h"
#include "base/text_division.h"
#include "pattern/song.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"

namespace {

// The generated playlists name no samples.
class NoMixer : public Mixer {
 public:
  bool open() override { return true; }
  int rate() const override { return 22050; }
  int channels() const override { return 2; }
  uint32_t bufferFrames() const override { return 512; }
  bool decode(const std::string&, const std::function<bool()>&, std::shared_ptr<const Sample>&,
              std::string&) override {
    return false;
  }
  void start(NoteStart) override {}
  void collect() override {}
  void stopTaking() override {}
  uint64_t framesMixed() const override { return 0; }
  uint64_t setPaused(bool) override { return 0; }
  uint64_t setVolume(double) override { return 0; }
  uint64_t updateGains() override { return 0; }
  int playingChannels() override { return 0; }
  void haltAll() override {}
  void close() override {}
  void quit() override {}
};

std::string pause(std::mt19937& rng) {
  std::uniform_int_distribution<int> ms(1, 40);
  std::uniform_int_distribution<int> kind(0, 2);
  const int low = ms(rng) * 50;
  switch (kind(rng)) {
    case 0:
      return std::to_string(low);
    case 1:
      return std::to_string(low) + " to " + std::to_string(low + ms(rng) * 50);
    default:
      return std::to_string(low) + "to" + std::to_string(low + ms(rng) * 25);
  }
}

// One song of about 600 bytes.
std::string song(std::mt19937& rng, int number) {
  std::uniform_int_distribution<int> coin(0, 1);
  std::uniform_int_distribution<int> weight(1, 9);
  const std::string n = std::to_string(number);
  std::string s;
  s += "// song " + n + ": somewhere between rain and wind\n";
  if (coin(rng)) s += "// (slow version, keep the long gaps)\n";
  s += "\n";
  s += "song" + n + " = (\n";
  s += "    _main = ( intro , ( verse , " + pause(rng) +
       " ) : ( verse , chorus ) : gap = " + std::to_string(weight(rng)) + " : " +
       std::to_string(weight(rng)) + " : 1 , outro ) ;\n";
  s += "    intro  = ( " + pause(rng) + " , " + pause(rng) + " ) ;   // fade in\n";
  s += "    verse  = ( a , b , ( a , " + pause(rng) + " ) , b ) ;\n";
  s += "    chorus = ( ( a : b = " + std::to_string(weight(rng)) + " : " +
       std::to_string(weight(rng)) + " ) , " + pause(rng) + " , ( ( b , a ) , " + pause(rng) +
       " ) ) ;\n";
  s += "\ta = " + pause(rng) + " ;\n";
  s += "\tb = " + pause(rng) + " ;\n";
  s += "    gap = " + pause(rng) + " ;\n";
  s += "    outro = ( " + pause(rng) + " , gap ) ;\n";
  if (coin(rng)) {
    s += "    _param = ( " + std::to_string(weight(rng)) + " , " +
         std::to_string(weight(rng) * 36) + " , " + std::to_string(weight(rng) * 25) + " ) ;\n";
  } else {
    s += "    _param = ( _infinite , 90 , 200 ) ;\n";
  }
  s += ") ;\n\n";
  return s;
}

const std::string& rawPlaylist(std::size_t bytes) {
  static std::map<std::size_t, std::string> made;
  std::string& text = made[bytes];
  if (text.empty()) {
    std::mt19937 rng(static_cast<uint32_t>(bytes));
    text = "// generated playlist\n\n";
    for (int number = 0; text.size() < bytes; ++number) text += song(rng, number);
  }
  return text;
}

const std::string& cleanPlaylist(std::size_t bytes) {
  static std::map<std::size_t, std::string> made;
  std::string& text = made[bytes];
  if (text.empty()) {
    text = rawPlaylist(bytes);
    cleanPlaylistText(text);
  }
  return text;
}

void BM_CleanPlaylistText(benchmark::State& state) {
  const std::string& raw = rawPlaylist(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = raw;
    state.ResumeTiming();
    cleanPlaylistText(text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(raw.size()));
}

void BM_DivideBalancedComma(benchmark::State& state) {
  const std::string& text = cleanPlaylist(static_cast<std::size_t>(state.range(0)));
  const BalancedText indexed(text);
  for (auto _ : state) {
    std::vector<TextPiece> pieces;
    benchmark::DoNotOptimize(indexed.divide(indexed.whole(), ',', pieces));
    benchmark::DoNotOptimize(pieces.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_EraseSpace(benchmark::State& state) {
  std::string withoutComments = rawPlaylist(static_cast<std::size_t>(state.range(0)));
  eraseComments(withoutComments);
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = withoutComments;
    state.ResumeTiming();
    benchmark::DoNotOptimize(eraseSpace(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(withoutComments.size()));
}

void BM_BuildSongs(benchmark::State& state) {
  const std::string& text = cleanPlaylist(static_cast<std::size_t>(state.range(0)));
  std::size_t built = 0;
  NoMixer mixer;
  SampleCache samples(mixer);
  for (auto _ : state) {
    std::vector<std::unique_ptr<Song>> songs;
    ProblemReporter player;
    if (!buildSongs(std::make_shared<const BalancedText>(text), samples, songs, player)) {
      state.SkipWithError("the generated playlist did not build");
    }
    built = songs.size();
    state.PauseTiming();
    songs.clear();
    state.ResumeTiming();
  }
  state.counters["songs"] = static_cast<double>(built);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

constexpr int64_t kMegabyte = 1 << 20;

BENCHMARK(BM_CleanPlaylistText)->Arg(kMegabyte)->Arg(10 * kMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DivideBalancedComma)
    ->Arg(kMegabyte)
    ->Arg(10 * kMegabyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EraseSpace)->Arg(kMegabyte)->Arg(10 * kMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildSongs)->Arg(kMegabyte)->Arg(10 * kMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace

// Feeds arbitrary bytes through the whole start-up path of the player: the
// bytes become a playlist file, which is read (NUL, Ctrl-Z and CR LF rules),
// cleaned, divided into statements, made into songs that grow their trees
// (classification, references, cycle and depth checks, sample loading) and
// are positioned; then every song is destroyed.
//
// Sample names resolve against a small folder of valid tones written at
// start-up, which becomes the working directory, so names such as "a.wav"
// load real samples. The mixer is opened once, on the dummy audio driver.
// The program's messages go to standard output, which is sent to /dev/null
// unless VELUMORA_FUZZ_VERBOSE is set. Since the fuzzer changes its working
// directory, give it absolute paths (fuzz/run.sh does):
//   VELUMORA_FUZZ_VERBOSE=1 build-fuzz/playlist_fuzzer "$PWD/fuzz/corpus/crlf.txt"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/sample_cache.h"
#include "pattern/song.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"

namespace {

std::string fixtureDir;
std::string playlistDir;
std::string playlistPath;
// The cache as it stands after the fixtures were loaded once.
SampleCache loadedFixtures;
const char* const kSamples[] = {"a.wav", "b.wav", "rain 1.wav", "chime.wav"};
// Kept for the life of the process; a plain array outlives the static
// destructors, so the leak check at exit still sees them reachable.
Mix_Chunk* fixtureSamples[sizeof kSamples / sizeof kSamples[0]];

void put16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& out, uint32_t value) {
  put16(out, static_cast<uint16_t>(value & 0xffff));
  put16(out, static_cast<uint16_t>(value >> 16));
}

// A short PCM tone; 8-bit samples are unsigned, 16-bit signed.
void writeTone(const std::string& name, int channels, int bits, int frames, double frequency) {
  const int bytesPerSample = bits / 8;
  std::string data;
  for (int frame = 0; frame < frames; ++frame) {
    const double level = std::sin(2.0 * M_PI * frequency * frame / 22050.0) * 0.4;
    for (int channel = 0; channel < channels; ++channel) {
      if (bits == 8) {
        data.push_back(static_cast<char>(128 + static_cast<int>(level * 127)));
      } else {
        put16(data, static_cast<uint16_t>(static_cast<int16_t>(level * 32767)));
      }
    }
  }
  std::string file = "RIFF";
  put32(file, static_cast<uint32_t>(36 + data.size()));
  file += "WAVEfmt ";
  put32(file, 16);
  put16(file, 1);
  put16(file, static_cast<uint16_t>(channels));
  put32(file, 22050);
  put32(file, static_cast<uint32_t>(22050 * channels * bytesPerSample));
  put16(file, static_cast<uint16_t>(channels * bytesPerSample));
  put16(file, static_cast<uint16_t>(bits));
  file += "data";
  put32(file, static_cast<uint32_t>(data.size()));
  file += data;
  FILE* out = std::fopen((fixtureDir + "/" + name).c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
}

void writeText(const std::string& path, const std::string& text) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
}

void removeFixtures() {
  for (const char* name : kSamples) std::remove((fixtureDir + "/" + name).c_str());
  std::remove((fixtureDir + "/notes.txt").c_str());
  std::remove(playlistPath.c_str());
  rmdir(playlistDir.c_str());
  rmdir(fixtureDir.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/velumora-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  fixtureDir = pattern;
  writeTone("a.wav", 1, 16, 441, 440.0);
  writeTone("b.wav", 2, 8, 300, 660.0);
  writeTone("rain 1.wav", 2, 16, 200, 220.0);
  writeTone("chime.wav", 1, 8, 150, 880.0);
  writeText(fixtureDir + "/notes.txt", "not a sample\n");
  // The playlist is rewritten for every input, so it lives in memory when
  // it can, and never in the sample folder, so that the names a playlist
  // can easily spell reach only the samples.
  char inputPattern[] = "/dev/shm/velumora-fuzz-XXXXXX";
  char fallbackPattern[] = "/tmp/velumora-fuzz-XXXXXX";
  const char* made = mkdtemp(inputPattern);
  if (made == nullptr) made = mkdtemp(fallbackPattern);
  if (made == nullptr) std::abort();
  playlistDir = made;
  playlistPath = playlistDir + "/playlist.txt";
  if (chdir(fixtureDir.c_str()) != 0) std::abort();
  std::atexit(removeFixtures);

  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) == -1 || Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512) == -1) {
    std::fprintf(stderr, "playlist_fuzzer: no audio: %s\n", SDL_GetError());
    std::abort();
  }
  Mix_AllocateChannels(16);

  // Loaded once and never freed: a Note that names a fixture shares it
  // through the cache, as every Note after the first does in the program,
  // so inputs do not spend their time decoding the same files again.
  // Names that are not fixtures still take the loading path.
  for (std::size_t i = 0; i < sizeof kSamples / sizeof kSamples[0]; ++i) {
    fixtureSamples[i] = Mix_LoadWAV_RW(SDL_RWFromFile(kSamples[i], "rb"), 1);
    if (fixtureSamples[i] == nullptr) std::abort();
    sampleCache.add(fixtureSamples[i], kSamples[i]);
  }
  loadedFixtures = sampleCache;

  if (std::getenv("VELUMORA_FUZZ_VERBOSE") == nullptr) {
    std::fflush(stdout);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) std::abort();
    close(devNull);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  writeText(playlistPath, std::string(reinterpret_cast<const char*>(data), size));
  std::string text;
  if (!readWholeFile(playlistPath, text)) std::abort();
  cleanPlaylistText(text);
  std::vector<Song*> songs;
  buildSongs(text, songs);
  for (Song* song : songs) delete song;
  // The cache remembers samples for the life of a run; each input is a run
  // of its own, and the samples it added were freed with their songs.
  sampleCache = loadedFixtures;
  return 0;
}

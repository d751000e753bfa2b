// Arbitrary bytes as a playlist file, through everything that reads one: the
// player's start-up (reading, cleaning, dividing, growing every song's tree
// against a mixer that only records), ten seconds of every song played, then
// the checker. It works in a directory of its own, where a.wav and b.wav
// resolve: give inputs by absolute path. VELUMORA_FUZZ_VERBOSE shows messages.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/playlist_checker.h"
#include "app/session.h"
#include "testing/fakes.h"

static std::string playlistPath;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/velumora-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
  for (const char* name : {"a.wav", "b.wav"}) std::fclose(std::fopen(name, "w"));
  playlistPath = std::string(pattern) + "/playlist.txt";
  if (std::getenv("VELUMORA_FUZZ_VERBOSE") == nullptr) std::freopen("/dev/null", "w", stdout);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(playlistPath.c_str(), "wb");
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  Session session(std::make_unique<testkit::FakeMixer>(), nullptr, 1);
  if (session.initialize(playlistPath)) {
    for (std::size_t i = 0; i < session.songs().size(); ++i) {
      SongPlayer player(*session.songs()[i], static_cast<uint32_t>(i), session.playContext(), 0,
                        nullptr);
      auto& mixer = static_cast<testkit::FakeMixer&>(session.mixer());
      for (uint64_t horizon = 512; horizon <= 10 * 22050 && player.advance(horizon);
           horizon += 512) {
        mixer.mixTo(horizon);
      }
    }
  }
  session.release();
  Session checked(std::make_unique<testkit::FakeMixer>(), nullptr, 1);
  PlaylistChecker("playlist.txt", [](const std::string&) {}).check(checked, playlistPath);
  checked.release();
  return 0;
}

// Arbitrary bytes through the whole path of a playlist: read as a file (NUL,
// Ctrl-Z and CR LF rules), cleaned, divided, made into songs that grow their
// trees (classification, references, cycle and depth checks, samples), and
// played for ten seconds of mix against a mixer that only records, so every
// walk, draw and moment of the grown trees runs; then everything is
// destroyed. The same bytes then go through the checker, which maps every
// cleaned byte back into the file and tries every song. Sample names
// resolve in a folder holding a.wav and b.wav, the working directory.
// Messages go to /dev/null unless VELUMORA_FUZZ_VERBOSE is set; give inputs
// by absolute path, since the directory changes:
//   VELUMORA_FUZZ_VERBOSE=1 build-fuzz/playlist_fuzzer "$PWD/fuzz/corpus/crlf.txt"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/playlist_checker.h"
#include "app/session.h"
#include "testing/fakes.h"

namespace {

std::string playlistPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/velumora-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
  for (const char* name : {"a.wav", "b.wav"}) std::fclose(std::fopen(name, "w"));
  playlistPath = std::string(pattern) + "/playlist.txt";
  if (std::getenv("VELUMORA_FUZZ_VERBOSE") == nullptr) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
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
      for (uint64_t horizon = 512; horizon <= 10 * 22050 && player.advance(horizon);
           horizon += 512) {
      }
    }
  }
  session.release();
  Session checked(std::make_unique<testkit::FakeMixer>(), nullptr, 1);
  PlaylistChecker checker("playlist.txt", [](const std::string&) {});
  checker.check(checked, playlistPath);
  checked.release();
  return 0;
}

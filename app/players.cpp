#include "app/players.h"

#include <SDL.h>
#include <SDL_thread.h>
#include <pthread.h>

#include <string>

#include "pattern/pattern_object.h"
#include "pattern/pause_clock.h"
#include "pattern/song.h"
#include "pattern/stop_flag.h"
#include "playlist/console_output.h"

std::vector<Song*> songList;
std::vector<SDL_Thread*> threadList;
SDL_semaphore* consoleSemaphore = nullptr;

namespace {

constexpr std::size_t kPlayerStackBytes = 1 << 20;

// Starts the players of a live run, so the console answers at once even
// while thousands of songs are still being started.
SDL_Thread* starter = nullptr;
int (*startedThreadMain)(void*) = playerMain;

void startEach(int (*threadMain)(void*)) {
  for (Song* song : songList) {
    if (stopRequested()) break;
    threadList.push_back(SDL_CreateThread(threadMain, song));
  }
}

int starterMain(void*) {
  startEach(startedThreadMain);
  return 0;
}

void printSerialised(const std::string& line) {
  if (consoleSemaphore != nullptr) SDL_SemWait(consoleSemaphore);
  printLine(line);
  if (consoleSemaphore != nullptr) SDL_SemPost(consoleSemaphore);
}

}  // namespace

void startPlayers(int (*threadMain)(void*), bool inBackground) {
  // Players need little stack (pattern trees are at most kMaxPatternDepth
  // deep), and a playlist may have thousands of songs: small stacks make
  // starting and joining them cheap. SDL takes the process's default.
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) == 0) {
    if (pthread_attr_setstacksize(&attributes, kPlayerStackBytes) == 0) {
      pthread_setattr_default_np(&attributes);
    }
    pthread_attr_destroy(&attributes);
  }
  if (inBackground) {
    startedThreadMain = threadMain;
    starter = SDL_CreateThread(starterMain, nullptr);
    if (starter != nullptr) return;
  }
  startEach(threadMain);
}

int playerMain(void* data) {
  Song* song = static_cast<Song*>(data);
  const std::string times = song->loops == static_cast<uint32_t>(kInfiniteLoops)
                                ? std::string("infinite")
                                : std::to_string(song->loops);
  printSerialised("playing " + times + " time(s) of \"" + song->songName + "\"");
  for (uint32_t played = 0; played < song->loops;) {
    if (stopRequested()) break;
    song->pattern->play();
    notifyRepeated();
    if (song->loops != static_cast<uint32_t>(kInfiniteLoops)) ++played;
  }
  printSerialised(song->songName + " done");
  return 0;
}

void stopPlayers() {
  printText("terminating all threads...\n");
  stopFlag.store(true, std::memory_order_release);
  releasePausedPlayers();
  // The starter stops starting players once the flag is up; after it has
  // ended, the thread list is the main thread's alone.
  if (starter != nullptr) SDL_WaitThread(starter, nullptr);
  starter = nullptr;
  for (SDL_Thread* thread : threadList) {
    if (thread != nullptr) SDL_WaitThread(thread, nullptr);
  }
}

#include "app/players.h"

#include <SDL.h>
#include <SDL_thread.h>

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

void printSerialised(const std::string& line) {
  if (consoleSemaphore != nullptr) SDL_SemWait(consoleSemaphore);
  printLine(line);
  if (consoleSemaphore != nullptr) SDL_SemPost(consoleSemaphore);
}

}  // namespace

void startPlayers(int (*threadMain)(void*)) {
  for (Song* song : songList) threadList.push_back(SDL_CreateThread(threadMain, song));
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
  for (SDL_Thread* thread : threadList) {
    if (thread != nullptr) SDL_WaitThread(thread, nullptr);
  }
}

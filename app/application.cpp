#include "app/application.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <string>

#include "app/console.h"
#include "app/heap_reserve.h"
#include "app/players.h"
#include "pattern/song.h"
#include "playlist/console_output.h"
#include "playlist/grammar.h"
#include "playlist/playlist_file.h"

bool initialize(const char* path) {
  std::string text;
  if (!readWholeFile(path, text)) {
    printLine(std::string("Unable to load file ") + path);
    return false;
  }
  reserveHeapFor(text.size());
  cleanPlaylistText(text);
  if (SDL_Init(SDL_INIT_AUDIO) == -1) {
    printLine(std::string("SDL initialization error : ") + SDL_GetError());
    return false;
  }
  if (Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512) == -1) {
    printLine(std::string("Unable to open audio! : ") + SDL_GetError());
    return false;
  }
  Mix_AllocateChannels(16);
  if (!buildSongs(text, songList)) {
    printLine("Analyzing File String Failed");
    return false;
  }
  consoleSemaphore = SDL_CreateSemaphore(1);
  if (consoleSemaphore == nullptr) printLine("Failed to Create a Semaphore");
  return true;
}

void shutdown() {
  stopPlayers();
  printText("halting " + std::to_string(Mix_Playing(-1)) + " channels...");
  if (Mix_Playing(-1) > 0) Mix_HaltChannel(-1);
  Mix_AllocateChannels(0);
  printLine("done.");
  printText("cleaning memory...");
  for (Song* song : songList) delete song;
  songList.clear();
  printLine("done");
  Mix_CloseAudio();
  printLine("audio closed");
  SDL_Quit();
  printLine("velumora is terminated");
}

int runVelumora(int argc, char** argv) {
  installSignalHandlers();
  printLine("Velumora ver 1.0.1");
  const char* path = argc <= 1 ? "playlist.txt" : argv[1];
  printText("initializing...");
  if (!initialize(path)) {
    printLine("Velumora Initialization Failed");
    shutdown();
    return -1;
  }
  printLine("done\ntype 'q' and enter to exit");
  startPlayers(playerMain, true);
  consoleLoop();
  shutdown();
  return 0;
}

#ifndef VELUMORA_APP_PLAYERS_H_
#define VELUMORA_APP_PLAYERS_H_

// One player thread per song. Players print their start and end lines under
// the console semaphore and play their song's main pattern until its loop
// count is reached or the stop flag rises. startPlayers() and stopPlayers()
// are called once each, on the main thread; the song list and the semaphore
// are complete before the first player starts and only read by players.

#include <vector>

#include "playlist/grammar.h"

struct SDL_semaphore;
struct SDL_Thread;
class Song;

// Owned here; destroyed by shutdown. Entries are never removed.
extern std::vector<Song*> songList;
// One handle per started song, in song order; used by the main thread only
// (while players start in the background, by the starter thread only).
extern std::vector<SDL_Thread*> threadList;
// Serialises the players' start and end lines; null when it could not be
// made, and then players print unserialised.
extern SDL_semaphore* consoleSemaphore;

int playerMain(void* song);
// Starts threadMain (playerMain, or a wrapper of it) once per song, in song
// order. In the background, a starter thread does it and startPlayers()
// returns at once; the thread list is then complete only after
// stopPlayers() has joined the starter, and songs not yet started when the
// stop flag rises are never started.
void startPlayers(int (*threadMain)(void*) = playerMain, bool inBackground = false);
// Prints "terminating all threads...", raises the stop flag and joins every
// player in list order.
void stopPlayers();

#endif  // VELUMORA_APP_PLAYERS_H_

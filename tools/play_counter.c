/* Preloaded into velumora by tools/soak.sh: counts every sound the program
 * starts (and every start the mixer refuses) by wrapping
 * Mix_PlayChannelTimed, the one call through which a Note starts a sample,
 * and writes "started refused" to $PLAY_COUNT_FILE when the process exits
 * normally. The program itself is not changed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>

typedef struct Mix_Chunk Mix_Chunk;
typedef int (*PlayFunction)(int, Mix_Chunk*, int, int);

static atomic_ulong started;
static atomic_ulong refused;

int Mix_PlayChannelTimed(int channel, Mix_Chunk* chunk, int loops, int ticks) {
  static _Atomic(PlayFunction) real;
  PlayFunction play = atomic_load(&real);
  if (play == NULL) {
    play = (PlayFunction)dlsym(RTLD_NEXT, "Mix_PlayChannelTimed");
    atomic_store(&real, play);
  }
  const int result = play(channel, chunk, loops, ticks);
  atomic_fetch_add(result == -1 ? &refused : &started, 1);
  return result;
}

__attribute__((destructor)) static void writeCount(void) {
  const char* path = getenv("PLAY_COUNT_FILE");
  if (path == NULL) return;
  FILE* file = fopen(path, "w");
  if (file == NULL) return;
  fprintf(file, "%lu %lu\n", atomic_load(&started), atomic_load(&refused));
  fclose(file);
}

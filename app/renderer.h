#ifndef VELUMORA_APP_RENDERER_H_
#define VELUMORA_APP_RENDERER_H_

// velumora-render: plays a playlist as fast as the mixer can mix and writes
// the mix into a WAV file, the same for the same seed and the same as the
// live program plays it. The songs are state machines (SongPlayer) that the
// mixer's own thread advances, earliest moment first, as each buffer is
// mixed; notes start through the same mixer code as live.

// The whole renderer; returns the exit status: 0 written, 1 playlist or
// output failure, 2 usage, 130 interrupted. levelled false leaves out the
// mix's envelope (volume, fades, limiter): the benchmarks' floor, SDL_mixer's
// mixing alone.
int runRender(int argc, char** argv, bool levelled = true);

#endif  // VELUMORA_APP_RENDERER_H_

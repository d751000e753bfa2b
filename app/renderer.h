#ifndef VELUMORA_APP_RENDERER_H_
#define VELUMORA_APP_RENDERER_H_

// velumora-render: plays a playlist in simulated time and writes what the
// mixer makes of it into a WAV file, faster than real time and the same for
// the same seed. The start-up, the players, their messages and the shutdown
// are the live program's; only pauses pass differently (RenderClock), and
// the mixer's buffers are pulled one by one by this thread instead of the
// sound device's.

#include <cstdint>

// SDL_mixer's mixing function and its argument, captured when the mixer
// opens the audio device. The renderer executable fills it in; while it is
// set, the device's own thread mixes nothing.
struct CapturedMixer {
  void (*mix)(void* userdata, uint8_t* stream, int length) = nullptr;
  void* userdata = nullptr;
};
extern CapturedMixer capturedMixer;

// The whole renderer; returns the exit status: 0 written, 1 playlist or
// output failure, 2 usage, 130 interrupted.
int runRender(int argc, char** argv);

#endif  // VELUMORA_APP_RENDERER_H_

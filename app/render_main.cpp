#include <SDL.h>
#include <dlfcn.h>

#include "app/renderer.h"

namespace {

void mixNothing(void*, Uint8*, int) {}

}  // namespace

// SDL_mixer opens the audio device through this function. The renderer takes
// the mixing function for itself and leaves the device's thread a callback
// that mixes nothing, so that the mixer advances only when the renderer asks.
extern "C" int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained) {
  using OpenAudio = int (*)(SDL_AudioSpec*, SDL_AudioSpec*);
  static const auto open = reinterpret_cast<OpenAudio>(dlsym(RTLD_NEXT, "SDL_OpenAudio"));
  if (open == nullptr) return -1;
  capturedMixer.mix = desired->callback;
  capturedMixer.userdata = desired->userdata;
  desired->callback = mixNothing;
  desired->userdata = nullptr;
  return open(desired, obtained);
}

int main(int argc, char** argv) { return runRender(argc, argv); }

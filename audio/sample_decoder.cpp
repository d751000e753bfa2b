#include "audio/sample_decoder.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>

bool decodeSample(const std::string& path, int mixerRate, DecodedSample& out, std::string& error) {
  Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromFile(path.c_str(), "rb"), 1);
  if (chunk == nullptr) {
    error = SDL_GetError();
    return false;
  }
  out.frames.resize(chunk->alen / 2);
  std::memcpy(out.frames.data(), chunk->abuf, out.frames.size() * 2);
  out.sourceRate = mixerRate;
  out.sourceChannels = 2;
  Mix_FreeChunk(chunk);
  return true;
}

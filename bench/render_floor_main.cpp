// velumora-render with the mix's envelope left out: the same notes mixed by
// SDL_mixer alone, the floor that bench/measure.py holds the renderer's
// speed against. Built with the benchmarks only.

#include "app/renderer.h"

int main(int argc, char** argv) { return runRender(argc, argv, false); }

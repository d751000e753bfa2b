#include <cstdio>
#include <new>

#include "app/renderer.h"

int main(int argc, char** argv) {
  try {
    return runRender(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("out of memory\n", stdout);
    return 1;
  }
}

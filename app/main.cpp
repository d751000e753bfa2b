#include <cstdio>
#include <new>

#include "app/application.h"

int main(int argc, char** argv) {
  try {
    return runVelumora(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("out of memory\n", stdout);
    return -1;
  }
}

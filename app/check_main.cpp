#include <cstdio>
#include <new>

#include "app/checker.h"

int main(int argc, char** argv) {
  try {
    return runCheck(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("out of memory\n", stdout);
    return 1;
  }
}

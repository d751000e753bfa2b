#ifndef VELUMORA_PATTERN_PATTERN_POOL_H_
#define VELUMORA_PATTERN_PATTERN_POOL_H_

// Memory for pattern objects. A large playlist becomes millions of small
// objects of a handful of sizes; carving them from large blocks, with one
// free list per size, costs a fraction of the general allocator and keeps a
// tree's nodes close together. Freed objects are reused; the blocks stay
// until the process ends. Objects are made and destroyed on the main thread
// during start-up and shutdown, but any thread may use the pool.
//
// Builds with a sanitizer take every object from the general allocator, so
// that misuse of pattern objects is still found.

#include <cstddef>

class PatternPool {
 public:
  static void* allocate(std::size_t size);
  static void release(void* object, std::size_t size) noexcept;
};

#endif  // VELUMORA_PATTERN_PATTERN_POOL_H_

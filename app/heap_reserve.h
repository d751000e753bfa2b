#ifndef VELUMORA_APP_HEAP_RESERVE_H_
#define VELUMORA_APP_HEAP_RESERVE_H_

// Prepares the heap for the pattern trees of a playlist of the given size,
// before they are built. A large playlist becomes millions of small objects;
// growing the heap once, in large pages where the system allows, and keeping
// large texts in it, spares the system hundreds of thousands of page faults
// and the allocator many trips to it. Only a hint: it changes no behaviour.
// Main thread, during start-up.

#include <cstddef>

void reserveHeapFor(std::size_t playlistBytes);

#endif  // VELUMORA_APP_HEAP_RESERVE_H_

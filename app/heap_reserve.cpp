#include "app/heap_reserve.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {

// Below this, start-up is quick anyway.
constexpr std::size_t kSmallPlaylist = 256 * 1024;
// The trees of a playlist written by hand take about twenty times its text.
constexpr std::size_t kBytesPerPlaylistByte = 24;
constexpr std::size_t kMostReserved = std::size_t{1} << 30;
constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;

}  // namespace

void reserveHeapFor(std::size_t playlistBytes) {
  if (playlistBytes < kSmallPlaylist) return;
  std::size_t bytes = playlistBytes * kBytesPerPlaylistByte;
  if (bytes / kBytesPerPlaylistByte != playlistBytes || bytes > kMostReserved) {
    bytes = kMostReserved;
  }
  // Keep large blocks (texts, child lists) in the heap instead of mapping
  // each anew, and keep the heap grown once it is.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kMostReserved));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kMostReserved));
  void* block = std::malloc(bytes);
  if (block == nullptr) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(block) + kLargePage - 1) & ~(kLargePage - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kLargePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  std::free(block);
}

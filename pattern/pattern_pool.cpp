#include "pattern/pattern_pool.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELUMORA_PLAIN_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VELUMORA_PLAIN_ALLOCATION 1
#endif
#endif

namespace {

constexpr std::size_t kGrain = 16;
constexpr std::size_t kLargestPooled = 256;
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

struct FreeObject {
  FreeObject* next;
};

// Held for a few instructions, and almost never contended: a spin lock
// costs less than a mutex here.
class SpinLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

SpinLock poolLock;
FreeObject* freeLists[kLargestPooled / kGrain + 1] = {};
char* blockCursor = nullptr;
char* blockEnd = nullptr;

std::size_t sizeClass(std::size_t size) { return (size + kGrain - 1) / kGrain; }

bool pooled(std::size_t size) {
#ifdef VELUMORA_PLAIN_ALLOCATION
  (void)size;
  return false;
#else
  return size != 0 && size <= kLargestPooled;
#endif
}

}  // namespace

void* PatternPool::allocate(std::size_t size) {
  if (!pooled(size)) return ::operator new(size);
  const std::size_t index = sizeClass(size);
  std::lock_guard<SpinLock> lock(poolLock);
  if (FreeObject* reused = freeLists[index]) {
    freeLists[index] = reused->next;
    return reused;
  }
  const std::size_t bytes = index * kGrain;
  if (blockCursor == nullptr || static_cast<std::size_t>(blockEnd - blockCursor) < bytes) {
    blockCursor = static_cast<char*>(std::malloc(kBlockBytes));
    if (blockCursor == nullptr) throw std::bad_alloc();
    blockEnd = blockCursor + kBlockBytes;
  }
  void* object = blockCursor;
  blockCursor += bytes;
  return object;
}

void PatternPool::release(void* object, std::size_t size) noexcept {
  if (object == nullptr) return;
  if (!pooled(size)) {
    ::operator delete(object);
    return;
  }
  const std::size_t index = sizeClass(size);
  std::lock_guard<SpinLock> lock(poolLock);
  freeLists[index] = new (object) FreeObject{freeLists[index]};
}

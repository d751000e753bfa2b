#ifndef VELUMORA_BASE_MUTEX_H_
#define VELUMORA_BASE_MUTEX_H_

// A mutex and its scoped lock that clang's thread-safety analysis knows
// (-Wthread-safety): a member marked GUARDED_BY(mutex_) may only be touched
// with that mutex held, and the clang build checks it. libstdc++'s own
// std::mutex carries no such annotations. Other compilers ignore them.

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define VELUMORA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VELUMORA_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) VELUMORA_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY VELUMORA_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) VELUMORA_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) VELUMORA_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRE(...) VELUMORA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VELUMORA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define REQUIRES(...) VELUMORA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) VELUMORA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS VELUMORA_THREAD_ANNOTATION(no_thread_safety_analysis)

class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  // For a condition variable's wait.
  std::mutex& native() { return mutex_; }

 private:
  std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // Lets go for a while (such as around a slow write), then takes it again.
  void unlock() RELEASE() { mutex_.unlock(); }
  void lock() ACQUIRE() { mutex_.lock(); }

  // Waits for condition to be notified, with the mutex released meanwhile
  // and held again on return. Callers test what they wait for in a loop of
  // their own, where the analysis sees the mutex held.
  void wait(std::condition_variable& condition) {
    std::unique_lock<std::mutex> native(mutex_.native(), std::adopt_lock);
    condition.wait(native);
    native.release();
  }
  // The same, for at most timeout.
  template <typename Duration>
  void waitFor(std::condition_variable& condition, Duration timeout) {
    std::unique_lock<std::mutex> native(mutex_.native(), std::adopt_lock);
    condition.wait_for(native, timeout);
    native.release();
  }

 private:
  Mutex& mutex_;
};

#endif  // VELUMORA_BASE_MUTEX_H_

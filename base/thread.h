#ifndef VELUMORA_BASE_THREAD_H_
#define VELUMORA_BASE_THREAD_H_

// Starting threads with a stack of a chosen size. The program starts one
// thread per song, possibly tens of thousands: each gets a small stack of its
// own, set on that thread alone, not as a default that would also change the
// threads of SDL and the sound server's client.

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <string>

// Runs body on a new detached thread; false with the reason in error when
// the thread cannot be made.
bool startDetachedThread(std::function<void()> body, std::size_t stackBytes, std::string& error);

// A joinable thread.
class Thread {
 public:
  Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread() { join(); }

  bool start(std::function<void()> body, std::size_t stackBytes, std::string& error);
  // Waits for the thread's end; does nothing when none was started.
  void join();

 private:
  bool started_ = false;
  pthread_t handle_{};
};

#endif  // VELUMORA_BASE_THREAD_H_

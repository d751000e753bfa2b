#include "base/thread.h"

#include <pthread.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

extern "C" void* runBody(void* data) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(data));
  (*body)();
  return nullptr;
}

bool startThread(std::function<void()> body, std::size_t stackBytes, bool detached,
                 pthread_t& handle, std::string& error) {
  auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
  if (owned == nullptr) {
    error = std::strerror(ENOMEM);
    return false;
  }
  pthread_attr_t attributes;
  int result = pthread_attr_init(&attributes);
  if (result == 0) {
    pthread_attr_setstacksize(&attributes, stackBytes);
    if (detached) pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    result = pthread_create(&handle, &attributes, runBody, owned);
    pthread_attr_destroy(&attributes);
  }
  if (result != 0) {
    delete owned;
    error = std::strerror(result);
    return false;
  }
  return true;
}

}  // namespace

bool startDetachedThread(std::function<void()> body, std::size_t stackBytes, std::string& error) {
  pthread_t handle;
  return startThread(std::move(body), stackBytes, true, handle, error);
}

bool Thread::start(std::function<void()> body, std::size_t stackBytes, std::string& error) {
  join();
  pthread_t handle;
  if (!startThread(std::move(body), stackBytes, false, handle, error)) return false;
  handle_ = handle;
  started_ = true;
  return true;
}

void Thread::join() {
  if (!started_) return;
  pthread_join(handle_, nullptr);
  started_ = false;
}

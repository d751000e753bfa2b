#include "base/console.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "base/signals.h"

namespace {

std::atomic<bool> failed{false};
std::atomic<bool> dropAfterSignal{false};
std::FILE* stream = stdout;
std::mutex statusLock;
std::string status;  // what the progress line shows; guarded by statusLock
std::atomic<bool> statusShown{false};

void writeOut(std::string_view text, bool flush) {
  if (failed.load(std::memory_order_relaxed)) return;
  if (dropAfterSignal.load(std::memory_order_relaxed) && signalArrived(0)) return;
  std::unique_lock<std::mutex> lock(statusLock, std::defer_lock);
  if (statusShown.load()) {
    lock.lock();
    std::fputs("\r\033[K", stderr);
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  if (!written || (flush && std::fflush(stream) != 0)) {
    failed.store(true, std::memory_order_relaxed);
    std::clearerr(stream);
  }
  if (lock.owns_lock() && !status.empty()) {
    std::fflush(stream);
    std::fputs(status.c_str(), stderr);
    std::fflush(stderr);
  }
}

}  // namespace

void printLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line += '\n';
  writeOut(line, true);
}

void printText(std::string_view text) { writeOut(text, true); }

bool consoleFailed() { return failed.load(std::memory_order_relaxed); }

void sendConsoleToStandardError() { stream = stderr; }

void dropTextAfterSignal(bool drop) { dropAfterSignal.store(drop); }

void showStatus(std::string_view text) {
  std::lock_guard<std::mutex> lock(statusLock);
  std::fputs("\r\033[K", stderr);
  status.assign(text);
  statusShown.store(!status.empty());
  std::fputs(status.c_str(), stderr);
  std::fflush(stderr);
}

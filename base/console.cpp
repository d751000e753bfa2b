#include "base/console.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <string>

#include "base/mutex.h"
#include "base/signals.h"
#include "base/thread.h"

namespace {

// Far more than a run prints in minutes, and little memory.
constexpr std::size_t kWaitingBytes = 1 << 20;
// How long the end of the live program waits for a reader that does not read:
// q and signals must still end it at once.
constexpr auto kLastWordsWait = std::chrono::milliseconds(800);
constexpr std::size_t kWriterStackBytes = 64 * 1024;
constexpr char kClearStatus[] = "\r\033[K";

std::atomic<int> errorFd{STDERR_FILENO};
std::atomic<int> streamFd{STDOUT_FILENO};
std::atomic<bool> failed{false};
std::atomic<bool> readersAwaited{true};

// Writes all of text, a pipe's worth at a time and whole lines where it can:
// such a write is atomic, so a reader that stops reading, or the end of the
// process, never leaves half a line. False when the descriptor fails.
bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    std::size_t size = std::min<std::size_t>(text.size(), PIPE_BUF);
    const std::size_t lineEnd = text.rfind('\n', size - 1);
    if (size < text.size() && lineEnd != std::string_view::npos) size = lineEnd + 1;
    const ssize_t put = write(fd, text.data(), size);
    if (put > 0) {
      text.remove_prefix(static_cast<std::size_t>(put));
    } else if (put < 0 && errno == EAGAIN) {
      // A descriptor set non-blocking by whoever shares it: wait as a
      // blocking one would.
      pollfd ready = {fd, POLLOUT, 0};
      poll(&ready, 1, -1);
    } else if (put == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

struct Entry {
  int fd;
  std::string text;
  bool status;  // the progress line becomes text
};

class Writer {
 public:
  // Started on first use and never destroyed: its thread may still be
  // blocked on a reader when the process ends.
  static Writer& get() {
    static Writer* const writer = start();
    return *writer;
  }

  void give(int fd, std::string_view text) {
    if (text.empty() || (fd == streamFd.load() && failed.load())) return;
    MutexLock lock(mutex_);
    if (!threaded_) {
      put(Entry{fd, std::string(text), false});
      return;
    }
    if (!fits(text.size())) {
      if (!readersAwaited.load()) {
        drop(text);
        return;
      }
      while (!fits(text.size())) lock.wait(written_);
    }
    if (!entries_.empty() && !entries_.back().status && entries_.back().fd == fd) {
      entries_.back().text.append(text);
    } else {
      entries_.push_back(Entry{fd, std::string(text), false});
    }
    waitingBytes_ += text.size();
    queued_.notify_one();
  }

  void showStatus(std::string_view text) {
    MutexLock lock(mutex_);
    // Only the latest progress matters, so it takes no room.
    if (!threaded_) {
      put(Entry{errorFd.load(), std::string(text), true});
    } else if (!entries_.empty() && entries_.back().status) {
      entries_.back().text.assign(text);
    } else {
      entries_.push_back(Entry{errorFd.load(), std::string(text), true});
      queued_.notify_one();
    }
  }

  // Waits until everything given has been written, or at most a while;
  // true when it was.
  bool drain(bool bounded) {
    MutexLock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + kLastWordsWait;
    while (!allWritten()) {
      if (!bounded) {
        lock.wait(written_);
        continue;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      lock.waitFor(written_, deadline - now);
    }
    return true;
  }

 private:
  static Writer* start() {
    auto* writer = new Writer;
    std::string error;
    // Without a thread of its own, each caller writes, as it must then.
    const bool threaded =
        writer->thread_.start([writer] { writer->run(); }, kWriterStackBytes, error);
    {
      MutexLock lock(writer->mutex_);
      writer->threaded_ = threaded;
    }
    std::atexit([] {
      // A thread still running at the end would only be left blocked on a
      // reader (and keeps the thread sanitizer waiting a second).
      if (get().drain(!readersAwaited.load())) get().stop();
    });
    return writer;
  }

  // Ends the thread once it has written everything; later text is written
  // by its callers.
  void stop() {
    {
      MutexLock lock(mutex_);
      stopping_ = true;
      threaded_ = false;
      queued_.notify_one();
    }
    thread_.join();
  }

  bool fits(std::size_t size) const REQUIRES(mutex_) {
    return !dropping_ && (waitingBytes_ == 0 || waitingBytes_ + size <= kWaitingBytes);
  }
  bool allWritten() const REQUIRES(mutex_) { return entries_.empty() && !writing_ && !dropping_; }

  void drop(std::string_view text) REQUIRES(mutex_) {
    dropping_ = true;
    droppedLines_ += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    droppedOpen_ = text.back() != '\n';
  }

  // The thread.
  void run() {
    MutexLock lock(mutex_);
    for (;;) {
      while (entries_.empty() && !dropping_ && !stopping_) lock.wait(queued_);
      if (entries_.empty() && !dropping_) return;
      std::deque<Entry> batch;
      const std::size_t bytes = waitingBytes_;
      if (!entries_.empty()) {
        batch.swap(entries_);
      } else {
        // The reader has caught up: tell what it missed, where it missed it.
        batch.push_back(Entry{streamFd.load(), notice(), false});
        dropping_ = false;
        droppedLines_ = 0;
        droppedOpen_ = false;
      }
      writing_ = true;
      lock.unlock();
      for (const Entry& entry : batch) put(entry);
      batch.clear();
      lock.lock();
      waitingBytes_ -= bytes;
      writing_ = false;
      written_.notify_all();
    }
  }

  std::string notice() const REQUIRES(mutex_) {
    const std::size_t lines = droppedLines_ + (droppedOpen_ ? 1 : 0);
    return std::string(streamAtLineStart_ ? "" : "\n") + "(" + std::to_string(lines) +
           (lines == 1 ? " line" : " lines") + " not shown: " +
           (streamFd.load() == STDOUT_FILENO ? "standard output" : "standard error") +
           " was not read)\n";
  }

  // Called by the thread alone, or under the mutex without one.
  void put(const Entry& entry) {
    if (entry.status) {
      writeAll(errorFd.load(), kClearStatus);
      status_ = entry.text;
      writeAll(errorFd.load(), status_);
      return;
    }
    const bool stream = entry.fd == streamFd.load();
    if (stream && failed.load()) return;
    if (!status_.empty()) writeAll(errorFd.load(), kClearStatus);
    if (!writeAll(entry.fd, entry.text) && stream) failed.store(true);
    if (stream) streamAtLineStart_ = entry.text.back() == '\n';
    if (!status_.empty()) writeAll(errorFd.load(), status_);
  }

  Thread thread_;
  Mutex mutex_;
  std::condition_variable queued_;   // for the thread: there is something to write
  std::condition_variable written_;  // for callers: there is room, or all is written
  std::deque<Entry> entries_ GUARDED_BY(mutex_);
  std::size_t waitingBytes_ GUARDED_BY(mutex_) = 0;  // of the texts queued or being written
  bool writing_ GUARDED_BY(mutex_) = false;          // the thread is writing a batch
  // Texts are dropped until all that waits is written.
  bool dropping_ GUARDED_BY(mutex_) = false;
  std::size_t droppedLines_ GUARDED_BY(mutex_) = 0;  // line ends dropped
  bool droppedOpen_ GUARDED_BY(mutex_) = false;      // the last text dropped ended within a line
  bool threaded_ GUARDED_BY(mutex_) = false;
  bool stopping_ GUARDED_BY(mutex_) = false;
  // The thread's own (or, without one, guarded by mutex_):
  std::string status_;  // what the progress line shows
  bool streamAtLineStart_ = true;
};

std::atomic<bool> dropAfterSignal{false};
std::atomic<bool> muted{false};

void printToStream(std::string_view text) {
  if (muted.load(std::memory_order_relaxed)) return;
  if (dropAfterSignal.load(std::memory_order_relaxed) && signalArrived(0)) return;
  Writer::get().give(streamFd.load(), text);
}

}  // namespace

void printLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line += '\n';
  printToStream(line);
}

void printText(std::string_view text) { printToStream(text); }

void printOnStandardError(std::string_view text) { Writer::get().give(errorFd.load(), text); }

bool consoleFailed() { return failed.load(); }

void sendConsoleToStandardError() {
  // A descriptor of its own: the renderer's mixer points standard error at
  // /dev/null while SDL opens, and the messages must not go there.
  const int fd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (fd >= 0) errorFd.store(fd);
  streamFd.store(errorFd.load());
}

void showStatus(std::string_view text) { Writer::get().showStatus(text); }

void waitForReaders(bool wait) { readersAwaited.store(wait); }

void dropTextAfterSignal(bool drop) { dropAfterSignal.store(drop); }

void muteConsole(bool mute) { muted.store(mute); }

void drainConsole() { Writer::get().drain(false); }

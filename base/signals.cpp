#include "base/signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace {

int signalPipe[2] = {-1, -1};
std::atomic<bool> arrived{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onSignal(int) {
  const int saved = errno;
  // Lock-free, so safe here; lets a look for a signal cost no system call.
  arrived.store(true, std::memory_order_relaxed);
  const char byte = 1;
  // The pipe is non-blocking: a full pipe already says enough.
  ssize_t ignored = write(signalPipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

}  // namespace

void ensureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

void installSignalHandlers() {
  if (signalPipe[0] < 0 && pipe(signalPipe) == 0) {
    // Neither end may block: the handler's nor takeSignal()'s.
    for (int fd : signalPipe) {
      fcntl(fd, F_SETFD, FD_CLOEXEC);
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
  }
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool signalArrived(int timeoutMs) {
  if (arrived.load(std::memory_order_relaxed)) return true;
  if (signalPipe[0] < 0 || timeoutMs == 0) return false;
  pollfd fd = {signalPipe[0], POLLIN, 0};
  if (poll(&fd, 1, timeoutMs) > 0 && fd.revents != 0) arrived.store(true);
  return arrived.load(std::memory_order_relaxed);
}

int signalDescriptor() { return signalPipe[0]; }

Readiness waitReady(int fd, short events) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {signalPipe[0], POLLIN, 0}};
    if (poll(fds, fds[1].fd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) return Readiness::kFailed;
    if (signalArrived(0)) return Readiness::kSignal;
    if (fds[0].revents != 0) return Readiness::kReady;
  }
}

void takeSignal() {
  char byte;
  if (signalPipe[0] >= 0) {
    ssize_t ignored = read(signalPipe[0], &byte, 1);
    (void)ignored;
  }
}

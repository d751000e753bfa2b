#include "app/console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "playlist/console_output.h"

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // The pipe is non-blocking: a full pipe already says enough.
  ssize_t ignored = write(signalPipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Waits until standard input (when still open) or the signal pipe can be
// read. Returns true when a signal arrived.
bool waitForInputOrSignal(bool inputOpen) {
  for (;;) {
    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const int ready = poll(fds, inputOpen ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // Nothing left to wait on; behave as if interrupted.
      return true;
    }
    if (fds[0].revents != 0) return true;
    if (inputOpen && fds[1].revents != 0) return false;
  }
}

}  // namespace

void installSignalHandlers() {
  if (signalPipe[0] < 0 && pipe(signalPipe) == 0) {
    for (int fd : signalPipe) fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(signalPipe[1], F_SETFL, fcntl(signalPipe[1], F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void consoleLoop() {
  const std::string prompt = "type 'q' and enter to exit";
  std::string word;
  char buffer[4096];
  std::size_t filled = 0;
  std::size_t next = 0;
  for (;;) {
    if (next == filled) {
      if (waitForInputOrSignal(true)) return;
      const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0) break;
      filled = static_cast<std::size_t>(got);
      next = 0;
    }
    const char c = buffer[next++];
    if (!isWhite(c)) {
      word += c;
      continue;
    }
    if (word.empty()) continue;
    if (word == "q" || word == "exit") return;
    printLine(prompt);
    word.clear();
  }
  // Input ended: a last word without white space after it still counts.
  if (!word.empty()) {
    if (word == "q" || word == "exit") return;
    printLine(prompt);
  }
  printLine("input closed: playing until interrupted");
  waitForInputOrSignal(false);
}

bool signalArrived(int timeoutMs) {
  pollfd fd = {signalPipe[0], POLLIN, 0};
  return poll(&fd, 1, timeoutMs) > 0 && fd.revents != 0;
}

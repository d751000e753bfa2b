#include "app/playlist_watcher.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// How long changes are gathered before they count: editors write, move and
// touch a file in several steps.
constexpr int kSettleMs = 150;

constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM;

}  // namespace

PlaylistWatcher::PlaylistWatcher() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (fd_ < 0) error_ = errno;
}

PlaylistWatcher::~PlaylistWatcher() {
  if (fd_ >= 0) close(fd_);
}

bool PlaylistWatcher::ok(std::string& error) const {
  if (fd_ >= 0) return true;
  error = std::strerror(error_);
  return false;
}

void PlaylistWatcher::watch(const std::string& path) {
  if (fd_ < 0) return;
  // Through a symbolic link, the file it leads to is watched as well, so
  // that an edit of either is seen.
  char target[PATH_MAX];
  if (realpath(path.c_str(), target) != nullptr) watchName(target);
  watchName(path);
}

void PlaylistWatcher::watchName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  auto found = directories_.find(directory);
  if (found == directories_.end()) {
    const int watch = inotify_add_watch(fd_, directory.c_str(), kEvents);
    if (watch < 0) return;
    found = directories_.emplace(directory, watch).first;
  }
  files_.emplace(found->second, name);
}

bool PlaylistWatcher::changed() {
  bool relevant = false;
  alignas(inotify_event) char buffer[8192];
  for (int round = 0; round < 2; ++round) {
    for (;;) {
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        const std::string name = event->len > 0 ? event->name : "";
        if (files_.count({event->wd, name}) != 0) relevant = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    if (round == 0) {
      pollfd settle = {fd_, POLLIN, 0};
      poll(&settle, 1, kSettleMs);
      // Read what came in the meantime, then count it all as one change.
      usleep(kSettleMs * 1000 / 3);
    }
  }
  return relevant;
}

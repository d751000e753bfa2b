#ifndef VELUMORA_APP_PLAYLIST_WATCHER_H_
#define VELUMORA_APP_PLAYLIST_WATCHER_H_

// Tells when the playlist file or a sample it uses changes on disk, through
// inotify on the directories that hold them (not on the files, so that an
// editor that saves by writing a new file and renaming it onto the old one
// is seen too). A name that is a symbolic link is watched both as the link
// and as the file it leads to when it is watched, so that editing the
// target is seen as well as replacing the link. Main thread only.

#include <map>
#include <set>
#include <string>
#include <utility>

class PlaylistWatcher {
 public:
  PlaylistWatcher();
  ~PlaylistWatcher();
  PlaylistWatcher(const PlaylistWatcher&) = delete;
  PlaylistWatcher& operator=(const PlaylistWatcher&) = delete;

  // False, with the reason, when inotify is not available.
  bool ok(std::string& error) const;
  // Watches path from now on (a name relative to the working directory).
  void watch(const std::string& path);
  // Readable when something changed in a watched directory.
  int descriptor() const { return fd_; }
  // Reads what happened, waiting a moment for an editor to finish saving;
  // true when a watched file changed.
  bool changed();

 private:
  void watchName(const std::string& path);

  int fd_ = -1;
  int error_ = 0;
  std::map<std::string, int> directories_;       // directory -> watch
  std::set<std::pair<int, std::string>> files_;  // (watch, file name)
};

#endif  // VELUMORA_APP_PLAYLIST_WATCHER_H_

#include "app/playlist_checker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/session.h"
#include "app/song_lint.h"

namespace {

// Source lines longer than this are shown as a window around the column.
constexpr std::size_t kShownBytes = 160;

// Why path cannot be read as a playlist, as far as the file system tells.
std::string unreadable(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string(": ") + std::strerror(errno);
  struct stat info;
  const bool directory = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  close(fd);
  return directory ? ": it is a directory" : "";
}

}  // namespace

bool PlaylistChecker::check(Session& session, const std::string& path) {
  const bool plays = session.initialize(path, &map_, this);
  // Nothing was read: the diagnostics, which standard output does not
  // carry, must still say so.
  if (!plays && errors_ == 0) {
    ++errors_;
    emit_(file_ +
          (session.text() == nullptr ? ": error: cannot read the playlist" + unreadable(path)
                                     : std::string(": error: reading stopped before its end "
                                                   "(interrupted, or out of memory)")) +
          "\n");
  }
  lintSongs(session.songs(), session.mixer().rate(), *this);
  if (plays && session.songs().empty() && errors_ == 0 && session.text() != nullptr) {
    warning(session.text()->whole().text, "the playlist has no songs",
            "a song is NAME = ( _main = PATTERN; ... )");
  }
  return plays;
}

void PlaylistChecker::explain(Session& session, const std::string& path) {
  session.explain(path, map_, *this, [&](const std::vector<std::shared_ptr<Song>>& songs) {
    lintSongs(songs, session.mixer().rate(), *this);
  });
}

void PlaylistChecker::report(Kind kind, std::string_view at, const std::string& what,
                             const std::string& note) {
  ++(kind == Kind::kError ? errors_ : warnings_);
  const SourceMap::Location where = map_.locate(at);
  const std::string place =
      file_ + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ": ";
  std::size_t from = 0;
  if (where.lineText.size() > kShownBytes && where.column > kShownBytes / 2) {
    from = std::min(where.column - kShownBytes / 2, where.lineText.size() - kShownBytes);
  }
  std::string shown(where.lineText.substr(from, kShownBytes));
  for (char& c : shown) {
    if (c == '\t') c = ' ';
  }
  std::string text = place + (kind == Kind::kError ? "error: " : "warning: ") + what + "\n " +
                     shown + "\n " + std::string(where.column - 1 - from, ' ') + "^\n";
  if (!note.empty()) text += place + "note: " + note + "\n";
  emit_(text);
}

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

}  // namespace

bool PlaylistChecker::check(Session& session, const std::string& path) {
  const bool plays = session.initialize(path, &map_, this);
  // Stopped with nothing told (a signal, or memory ran out): the
  // diagnostics, which standard output does not carry, must still say so.
  if (!plays && errors_ == 0) {
    report(
        {Kind::kError, {}, "reading stopped before its end (interrupted, or out of memory)", ""});
  }
  lintSongs(session.songs(), session.mixer().rate(), *this);
  if (plays && session.songs().empty() && errors_ == 0 && session.text() != nullptr) {
    report({Kind::kWarning, session.text()->whole().text, "the playlist has no songs",
            "a song is NAME = ( _main = PATTERN; ... )"});
  }
  return plays;
}

void PlaylistChecker::explain(Session& session, const std::string& path) {
  session.explain(path, map_, *this, [&](const std::vector<std::shared_ptr<Song>>& songs) {
    lintSongs(songs, session.mixer().rate(), *this);
  });
}

void PlaylistChecker::locate(const Problem& problem) {
  const Kind kind = problem.kind;
  const std::string& what = problem.what;
  const std::string& note = problem.note;
  ++(kind == Kind::kError ? errors_ : warnings_);
  const char* const label = kind == Kind::kError ? "error: " : "warning: ";
  if (problem.at.data() == nullptr) {
    emit_(file_ + ": " + label + what + "\n" +
          (note.empty() ? "" : file_ + ": note: " + note + "\n"));
    return;
  }
  const SourceMap::Location where = map_.locate(problem.at);
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
  std::string text = place + label + what + "\n " + shown + "\n " +
                     std::string(where.column - 1 - from, ' ') + "^\n";
  if (!note.empty()) text += place + "note: " + note + "\n";
  emit_(text);
}

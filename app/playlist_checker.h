#ifndef VELUMORA_APP_PLAYLIST_CHECKER_H_
#define VELUMORA_APP_PLAYLIST_CHECKER_H_

// The core of velumora-check: a session's start-up run on a playlist with a
// source map and this as its problem reporter, so that every problem the
// player would report is also shown where it is in the file as written, the
// way compilers show theirs:
//
//   FILE:LINE:COLUMN: error: what is wrong
//    the line, after one space
//    ^ under the column, after one space
//   FILE:LINE:COLUMN: note: a hint
//
// Lines and columns count from 1, columns in bytes; a tab in the line is
// shown as a space, so the caret stands under its column. Every song is
// tried, each on its own. Then the songs that grew are looked through for
// what plays but is almost certainly a mistake (lintSongs()), and an empty
// playlist is a warning too. A problem with no place in the text (the file
// cannot be read) is shown as "FILE: error: what". The player's own messages
// still go to the console as they would; diagnostics go, whole, to the emit
// function.
// Main thread only.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/problem_reporter.h"
#include "base/source_map.h"

class Session;

class PlaylistChecker : public ProblemReporter {
 public:
  using Emit = std::function<void(const std::string&)>;

  // file: how diagnostics name the playlist.
  PlaylistChecker(std::string file, Emit emit) : file_(std::move(file)), emit_(std::move(emit)) {}

  // Runs the session's start-up on the playlist at path; true when the
  // player would start. The songs stay in the session.
  bool check(Session& session, const std::string& path);

  // After a start-up of the session that failed on the playlist at path:
  // tells where its problems are, as check() would.
  void explain(Session& session, const std::string& path);

  bool keepGoing() const override { return true; }

  // Where the problems of a reading with this as reporter are located; the
  // reading fills it (Session::reload()).
  SourceMap& map() { return map_; }

  std::size_t errors() const { return errors_; }
  std::size_t warnings() const { return warnings_; }

 protected:
  void locate(const Problem& problem) override;

 private:
  std::string file_;
  Emit emit_;
  SourceMap map_;
  std::size_t errors_ = 0;
  std::size_t warnings_ = 0;
};

#endif  // VELUMORA_APP_PLAYLIST_CHECKER_H_

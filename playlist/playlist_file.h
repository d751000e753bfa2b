#ifndef VELUMORA_PLAYLIST_PLAYLIST_FILE_H_
#define VELUMORA_PLAYLIST_PLAYLIST_FILE_H_

// Reading the playlist file and cleaning it into the one text that the
// grammar reads: no comments, no line feeds, no blanks outside double quotes.
// Used on the main thread during start-up.

#include <cstddef>
#include <string>

// Playlists are refused above this size.
constexpr std::size_t kMostPlaylistBytes = std::size_t{256} << 20;

// Replaces text by the file's contents read as text: CR LF reads as LF, and
// the text ends at the first NUL or Ctrl-Z byte, where reading stops. A pipe
// is read as it comes; a signal (SIGINT, SIGTERM, SIGHUP) while waiting for
// it gives up. A file that cannot be opened, a directory, a read error, a
// text above kMostPlaylistBytes or a signal gives a message and false, with
// text untouched.
bool readWholeFile(const std::string& path, std::string& text);

// Removes every "//" comment with the line feed that ends it; every other
// line feed goes too.
void eraseComments(std::string& text);

// Comments, then blanks outside double quotes, then every line feed.
void cleanPlaylistText(std::string& text);

#endif  // VELUMORA_PLAYLIST_PLAYLIST_FILE_H_

#ifndef VELUMORA_PLAYLIST_PLAYLIST_FILE_H_
#define VELUMORA_PLAYLIST_PLAYLIST_FILE_H_

// Reading the playlist file and cleaning it into the one text that the
// grammar reads: no comments, no line feeds, no blanks outside double quotes.
// Used on the main thread during start-up.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ProblemReporter;
class SourceMap;

// Playlists are refused above this size.
constexpr std::size_t kMostPlaylistBytes = std::size_t{256} << 20;

// Replaces text by the file's contents read as text: a UTF-8 byte order mark
// at the start is skipped, CR LF reads as LF, and the text ends at the first
// NUL or Ctrl-Z byte, where reading stops. A pipe
// is read as it comes; a signal (SIGINT, SIGTERM, SIGHUP) while waiting for
// it gives up. A file that cannot be opened, a directory, a read error, a
// text above kMostPlaylistBytes or a signal is told to reporter and gives
// false, with text untouched. A map, when given, gets the bytes read and the
// origin of each byte of text.
bool readWholeFile(const std::string& path, std::string& text, ProblemReporter& reporter,
                   SourceMap* map = nullptr);

// Removes every "//" comment with the line feed that ends it; every other
// line feed goes too. Origins, when given, follow the bytes kept (SourceMap).
void eraseComments(std::string& text, std::vector<uint32_t>* origins = nullptr);

// Comments, then blanks outside double quotes, then every line feed.
void cleanPlaylistText(std::string& text, std::vector<uint32_t>* origins = nullptr);

#endif  // VELUMORA_PLAYLIST_PLAYLIST_FILE_H_

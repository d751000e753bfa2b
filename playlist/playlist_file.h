#ifndef VELUMORA_PLAYLIST_PLAYLIST_FILE_H_
#define VELUMORA_PLAYLIST_PLAYLIST_FILE_H_

// Reading the playlist file and cleaning it into the one text that the
// grammar reads: no comments, no line feeds, no blanks outside double quotes.
// Used once, on the main thread, during start-up.

#include <string>

// Replaces text by the file's contents read as text: CR LF reads as LF, and
// the text ends at the first NUL or Ctrl-Z byte. A file that cannot be
// opened, a directory, or a read error gives a message and false, with text
// untouched.
bool readWholeFile(const std::string& path, std::string& text);

// Removes every "//" comment with the line feed that ends it; every other
// line feed goes too.
void eraseComments(std::string& text);

// Comments, then blanks outside double quotes, then every line feed.
void cleanPlaylistText(std::string& text);

#endif  // VELUMORA_PLAYLIST_PLAYLIST_FILE_H_

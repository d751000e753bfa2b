#ifndef VELUMORA_PLAYLIST_CONSOLE_OUTPUT_H_
#define VELUMORA_PLAYLIST_CONSOLE_OUTPUT_H_

// Every message of the program goes to standard output through these two
// calls. Each call writes its whole text with one stdio call, which locks the
// stream, so lines written by different threads never tear. Safe from any
// thread.

#include <string>

// Writes text, a line feed, and flushes.
void printLine(const std::string& text);

// Writes text with no line end and no flush; a later line completes it.
void printText(const std::string& text);

#endif  // VELUMORA_PLAYLIST_CONSOLE_OUTPUT_H_

#ifndef VELUMORA_BASE_CONSOLE_H_
#define VELUMORA_BASE_CONSOLE_H_

// Every message of the programs goes to standard output through these calls.
// Each call writes its whole text with one stdio call, which locks the
// stream, so lines written by different threads never tear. Once standard
// output is gone (a closed pipe, a full disk), further text is dropped and
// the program goes on; consoleFailed() tells whether that happened. Safe from
// any thread.

#include <string_view>

// Writes text, a line feed, and flushes.
void printLine(std::string_view text);

// Writes text with no line end, and flushes, so that a progress text shows
// while its step runs; a later line completes it.
void printText(std::string_view text);

// True once a write to standard output has failed.
bool consoleFailed();

#endif  // VELUMORA_BASE_CONSOLE_H_

#ifndef VELUMORA_BASE_CONSOLE_H_
#define VELUMORA_BASE_CONSOLE_H_

// Every message of the programs goes to standard output (or, for a program
// whose standard output carries data, standard error) through these calls.
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

// A line of progress on standard error, redrawn in place (empty: none). A
// message printed while it shows is written above it, so the two never
// share a line.
void showStatus(std::string_view status);

// From now on, messages go to standard error: for a program whose standard
// output carries data. Call before any thread prints.
void sendConsoleToStandardError();

// While on, text printed once a signal has arrived (base/signals.h) is
// dropped: for a step whose every failure, after an interruption, only
// echoes it. Call on the main thread, before and after that step.
void dropTextAfterSignal(bool drop);

#endif  // VELUMORA_BASE_CONSOLE_H_

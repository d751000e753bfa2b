#ifndef VELUMORA_BASE_CONSOLE_H_
#define VELUMORA_BASE_CONSOLE_H_

// Every message of the programs goes to standard output (or, for a program
// whose standard output carries data, standard error) through these calls.
// They only queue the text, whole and in order, and return: one writer
// thread, started on first use, does the writing, so a reader that stops
// reading (a pipe nobody drains, Ctrl-S in a terminal) holds up that thread
// alone. Lines written by different threads never tear. Once standard output
// is gone (a closed pipe, a full disk), further text is dropped and the
// program goes on; consoleFailed() tells whether that happened. At the end of
// the process, what is still queued is written first. Safe from any thread.

#include <string_view>

// Writes text, a line feed, and flushes.
void printLine(std::string_view text);

// Writes text with no line end, and flushes, so that a progress text shows
// while its step runs; a later line completes it.
void printText(std::string_view text);

// Writes text as it is on standard error, in order with the messages: for
// diagnostics that go beside them.
void printOnStandardError(std::string_view text);

// True once a write to standard output has failed (of the text written so
// far: drainConsole() first to know about all of it).
bool consoleFailed();

// A line of progress on standard error, redrawn in place (empty: none). A
// message printed while it shows is written above it, so the two never
// share a line.
void showStatus(std::string_view status);

// From now on, messages go to standard error: for a program whose standard
// output carries data. Call before any thread prints.
void sendConsoleToStandardError();

// What happens when a mebibyte of text already waits for the reader. By
// default the caller waits for room, and the end of the process for every
// byte: what the checker and the renderer print is what they are run for.
// The live program's players must keep time whatever the reader does: with
// wait false, such text is dropped, the number of lines dropped is told in
// one line once the reader has caught up, and the end of the process waits
// at most a second for the reader.
void waitForReaders(bool wait);

// Waits until everything given so far has been written (or dropped).
void drainConsole();

// While on, text for standard output (or where sendConsoleToStandardError()
// sent it) is dropped: for reading a playlist again only to locate its
// problems, whose messages were printed once already. Main thread.
void muteConsole(bool mute);

// While on, text printed once a signal has arrived (base/signals.h) is
// dropped: for a step whose every failure, after an interruption, only
// echoes it. Call on the main thread, before and after that step.
void dropTextAfterSignal(bool drop);

#endif  // VELUMORA_BASE_CONSOLE_H_

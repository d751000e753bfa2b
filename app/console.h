#ifndef VELUMORA_APP_CONSOLE_H_
#define VELUMORA_APP_CONSOLE_H_

// The console loop of the live program. Main thread only.

// Reads white-space separated words from standard input until "q" or "exit"
// (any other word prints the prompt again) or a signal. A word is kept to
// its first kLongestWord bytes, so no input can grow it without bound. When
// input ends it says so once and waits, without using the processor, for a
// signal.
void consoleLoop();

constexpr unsigned kLongestWord = 4096;

#endif  // VELUMORA_APP_CONSOLE_H_

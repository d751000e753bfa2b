#ifndef VELUMORA_APP_CONSOLE_H_
#define VELUMORA_APP_CONSOLE_H_

// The console loop and the signals that end it. The handlers only write a
// byte to a pipe; the loop waits on standard input and on that pipe at once,
// so SIGINT, SIGTERM or SIGHUP end it at once, like "q". Main thread only.

// Installs the handlers; call before SDL_Init so that no SDL build installs
// its own. A signal that arrives before the loop starts is kept for it.
void installSignalHandlers();

// Reads white-space separated words until "q" or "exit" (any other word
// prints the prompt again) or a signal. When input ends it says so once and
// waits, without using the processor, for a signal.
void consoleLoop();

// True when one of those signals has arrived, waiting for one at most
// timeoutMs milliseconds (0: just look).
bool signalArrived(int timeoutMs);

#endif  // VELUMORA_APP_CONSOLE_H_

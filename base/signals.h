#ifndef VELUMORA_BASE_SIGNALS_H_
#define VELUMORA_BASE_SIGNALS_H_

// The signals that end a run (SIGINT, SIGTERM, SIGHUP) and the process's
// standard descriptors. The handlers only write a byte to a pipe, so any
// thread may wait for a signal with poll() beside its other descriptors, and
// start-up can look for one between its steps. This pipe is the process-wide
// state that a signal handler has to reach; everything else a run has lives
// in its session.

// Opens /dev/null on standard input, output or error where one is closed,
// so that no later descriptor takes their place. Call first thing.
void ensureStandardDescriptors();

// Installs the handlers and ignores SIGPIPE (a closed standard output is
// reported by the write that fails). Call before SDL_Init, so that no SDL
// build installs its own. A signal that arrives before anyone looks is kept.
void installSignalHandlers();

// True when one of those signals has arrived, waiting for one at most
// timeoutMs milliseconds (0: just look). Once true, stays true.
bool signalArrived(int timeoutMs);

// The read end of the pipe, readable once a signal has arrived; -1 before
// installSignalHandlers().
int signalDescriptor();

// Waits until fd is ready for events (POLLIN or POLLOUT), or a signal has
// arrived: for a pipe or FIFO that could otherwise hold a program past a
// signal. errno tells why when it fails.
enum class Readiness { kReady, kSignal, kFailed };
Readiness waitReady(int fd, short events);

// Takes one signal off the pipe, so that it is readable again only when
// another one arrives: for a program that acts on a second signal too.
// signalArrived() stays true.
void takeSignal();

#endif  // VELUMORA_BASE_SIGNALS_H_

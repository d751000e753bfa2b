#ifndef VELUMORA_APP_APPLICATION_H_
#define VELUMORA_APP_APPLICATION_H_

// The program's main thread from banner to exit: start-up, the players, the
// console loop and the ordered shutdown.

// Reads and cleans the playlist, opens the audio device, builds the songs
// and creates the console semaphore. False, after its messages, when the
// program cannot run; whatever was opened is left to shutdown().
bool initialize(const char* path);

// Stops the players, halts and releases the channels, destroys the songs,
// closes the audio device and quits SDL, printing each step. Runs in full
// whatever stage start-up reached.
void shutdown();

// The whole program; returns the process's exit status (0, or -1 after a
// failed start-up).
int runVelumora(int argc, char** argv);

#endif  // VELUMORA_APP_APPLICATION_H_

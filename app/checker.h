#ifndef VELUMORA_APP_CHECKER_H_
#define VELUMORA_APP_CHECKER_H_

// velumora-check: reads, cleans, understands and grows a playlist exactly as
// the live program does, loading every sample, on a silent audio driver and
// without playing. Prints the program's own messages, then every song as an
// indented tree. Main thread only.

#include <string>

class Song;

// The indented tree of one grown song.
std::string describeSong(const Song& song, int rate);

// Returns the exit status: 0 when the playlist would play, 1 when it would
// not (or the report could not be written), 2 on a wrong command line.
int runCheck(int argc, char** argv);

#endif  // VELUMORA_APP_CHECKER_H_

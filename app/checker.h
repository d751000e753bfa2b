#ifndef VELUMORA_APP_CHECKER_H_
#define VELUMORA_APP_CHECKER_H_

// velumora-check: reads, cleans, understands and grows a playlist exactly as
// the live program does, loading every sample, on a silent audio driver and
// without playing, and explains it. On standard output: the program's own
// messages, every song as an indented tree (levels past 40 are indented no
// further and show their depth), and whether the playlist would play. On
// standard error: each problem at its line and column in the file, the way
// compilers show theirs, with the errors of every song and warnings for what
// plays but is almost certainly a mistake (PlaylistChecker). Linear in the
// playlist's size. Main thread only.

#include <string>

class Song;

// The indented tree of one grown song.
std::string describeSong(const Song& song, int rate);

// Returns the exit status: 0 when the playlist would play, 1 when it would
// not (or the report could not be written, or with --strict, when anything
// was found), 2 on a wrong command line.
int runCheck(int argc, char** argv);

#endif  // VELUMORA_APP_CHECKER_H_

#ifndef VELUMORA_APP_SONG_LINT_H_
#define VELUMORA_APP_SONG_LINT_H_

// What plays but is almost certainly a mistake, found in grown songs and
// told to a problem reporter as warnings at their places in the cleaned text: a
// key that looks like "_main" or "_param" misspelt, a named pattern that no
// pattern uses, weights that do not match their choices or are all 0, two
// songs with one name, a song that never pauses, a pause longer than a day,
// a pause range written backwards, a sample longer than ten minutes. Each song costs time linear in
// its tree. Main thread only, on songs no player is walking.

#include <memory>
#include <string_view>
#include <vector>

class ProblemReporter;
class Song;

// rate: frames per second of the songs' samples.
void lintSongs(const std::vector<std::shared_ptr<Song>>& songs, int rate,
               ProblemReporter& reporter);

#endif  // VELUMORA_APP_SONG_LINT_H_

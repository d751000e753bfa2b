#ifndef VELUMORA_PLAYLIST_GRAMMAR_H_
#define VELUMORA_PLAYLIST_GRAMMAR_H_

// The statement grammar of a cleaned playlist: "name=(key=value;...);...".
// Each statement becomes a Song, grown, positioned and appended to the song
// list. Every problem is told once to a reporter, with the program's own
// lines for it; with a reporter that keeps going (the checker's), a failed
// statement does not end the reading: every statement is tried, each on its
// own. Runs on the main thread during start-up.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/balanced_text.h"
#include "base/problem_reporter.h"

class SampleCache;
class Song;

// True when every statement became a Song. The songs built before a failure
// stay in songs.
bool buildSongs(const std::shared_ptr<const BalancedText>& text, SampleCache& samples,
                std::vector<std::unique_ptr<Song>>& songs, ProblemReporter& reporter);

// Assembles one Song from a statement's name and body (stripped in place);
// null, with messages, when the body cannot be read. "_param" entries update
// the running parameters.
std::unique_ptr<Song> combinePattern(const std::shared_ptr<const BalancedText>& text,
                                     TextPiece name, TextPiece& body, int32_t& loops,
                                     int16_t& angle, uint8_t& distance, ProblemReporter& reporter);

// Reads "loops,angle,distance" (stripped in place) into the running
// parameters; a refused value takes its default. True when all three were
// present and accepted.
bool parseParam(TextPiece& value, int32_t& loops, int16_t& angle, uint8_t& distance,
                ProblemReporter& reporter);

// The names between double quotes in a cleaned playlist, in order, each
// once: the sample files its notes name (and any other quoted text), for
// decoding ahead (SampleCache::prefetch()). Views into text.
std::vector<std::string_view> quotedNames(std::string_view text);

// The keyword that key looks like a misspelling of ("_main" or "_param"),
// or empty.
std::string_view keywordLookalike(std::string_view key);

#endif  // VELUMORA_PLAYLIST_GRAMMAR_H_

#ifndef VELUMORA_PLAYLIST_GRAMMAR_H_
#define VELUMORA_PLAYLIST_GRAMMAR_H_

// The statement grammar of a cleaned playlist: "name=(key=value;...);...".
// Each statement becomes a Song, grown, positioned and appended to the song
// list; every failure is reported in the program's words. Runs on the main
// thread during start-up.

#include <cstdint>
#include <memory>
#include <vector>

#include "base/balanced_text.h"

class SampleCache;
class Song;

// True when every statement became a Song. The songs built before a failure
// stay in songs.
bool buildSongs(const std::shared_ptr<const BalancedText>& text, SampleCache& samples,
                std::vector<std::unique_ptr<Song>>& songs);

// Assembles one Song from a statement's name and body (stripped in place);
// null, with messages, when the body cannot be read. "_param" entries update
// the running parameters.
std::unique_ptr<Song> combinePattern(const std::shared_ptr<const BalancedText>& text,
                                     TextPiece name, TextPiece& body, int32_t& loops,
                                     int16_t& angle, uint8_t& distance);

// Reads "loops,angle,distance" (stripped in place) into the running
// parameters; a refused value takes its default. True when all three were
// present and accepted.
bool parseParam(TextPiece& value, int32_t& loops, int16_t& angle, uint8_t& distance);

#endif  // VELUMORA_PLAYLIST_GRAMMAR_H_

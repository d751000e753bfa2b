#ifndef VELUMORA_AUDIO_SAMPLE_REPAIR_H_
#define VELUMORA_AUDIO_SAMPLE_REPAIR_H_

// Sample files that SDL_mixer played and libsndfile reads only in part, laid
// out again, unchanged on disk, as a SplicedFile that libsndfile reads whole:
// - VOC in more than one block (sound, continuations, silence, extended
//   blocks; SDL_mixer read them all, libsndfile only a first block of sound
//   that ends the file), or cut short: one block of sound in the format of
//   the first, ending where the file or that format ends;
// - WAV whose chunks of odd length lack the pad byte that RIFF puts after
//   them (which SDL 1.2 read): the pads given.
// Both only read the file. Any thread.

#include <cstdint>
#include <string>

#include "audio/spliced_file.h"

// False, with the reason, when the VOC file holds no sound that can be
// read. size: the file's length.
bool spliceVoc(int fd, uint64_t size, SplicedFile& out, std::string& error);

// False when the file is not a WAV file that lacks a pad byte.
bool spliceWavPads(int fd, uint64_t size, SplicedFile& out);

#endif  // VELUMORA_AUDIO_SAMPLE_REPAIR_H_

#include "audio/sample_header.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "testing/wav.h"

namespace {

using testkit::be;
using testkit::le;

const std::string kSane44100("\x40\x0e\xac\x44\0\0\0\0\0\0", 10);

// The header is read where SDL_mixer reads it, and the edited bytes say
// the mixer's rate with the lengths cut to what the file holds.
TEST(SampleHeader, ReadsAndRelabels) {
  const struct {
    const char* name;
    std::string file;
    int rate, channels;
    uint64_t frames;
    int labelRate;  // what the edited file says
  } cases[] = {
      {"WavDataPastTheEnd",
       "RIFF" + le(0, 4) + "WAVELIST" + le(2, 4) + "abfmt " + le(16, 4) + le(1, 2) + le(2, 2) +
           le(48000, 4) + le(192000, 4) + le(4, 2) + le(16, 2) + "data" + le(1000, 4) +
           std::string(42, 'x'),
       48000, 2, 10, 22050},
      {"AiffCommDeclaresMore",
       testkit::aiffFile(1, 5000, 16, kSane44100,
                         "SSND" + be(20, 4) + std::string(8, '\0') + std::string(20, 'x')),
       44100, 1, 10, 22050},
      {"Svx8000",
       "FORM" + be(0, 4) + "8SVXVHDR" + be(20, 4) + std::string(12, '\0') + be(8000, 2) +
           std::string(6, '\0') + "BODY" + be(99, 4) + std::string(30, 'x'),
       8000, 1, 30, 22050},
      {"VocTimeConstant", testkit::vocFile(testkit::vocBlock(1, "\xa5" + std::string(51, '\0'))),
       10989, 1, 50, 22222},
      {"VocRateAndContinuation",
       testkit::vocFile(testkit::vocBlock(9, le(44100, 4) + "\x10\x02" + std::string(46, '\0')) +
                        testkit::vocBlock(2, std::string(12, '\0'))),
       44100, 2, 13, 22050},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes(c.file.begin(), c.file.end());
    SampleHeader header;
    std::string error;
    ASSERT_TRUE(prepareSampleHeader(bytes, 22050, header, error)) << error;
    EXPECT_EQ(std::tuple(header.rate, header.channels, header.frames, header.labelRate),
              std::tuple(c.rate, c.channels, c.frames, c.labelRate));
    // Edited once, the file needs no more edits: it reads as it now stands.
    std::vector<uint8_t> again = bytes;
    ASSERT_TRUE(prepareSampleHeader(again, 22050, header, error)) << error;
    EXPECT_EQ(std::tuple(header.rate, header.frames), std::tuple(c.labelRate, c.frames));
    EXPECT_EQ(again, bytes);
  }
}

}  // namespace

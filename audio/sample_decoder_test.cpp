#include "audio/sample_decoder.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::be;
using testkit::le;

constexpr int kMixerRate = 22050;

class SampleDecoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(kMixerRate, AUDIO_S16LSB, 2, 512), 0) << SDL_GetError();
  }
  static void TearDownTestSuite() {
    Mix_CloseAudio();
    SDL_Quit();
  }
  testkit::TempDir dir_;
};

int runIn(const testkit::TempDir& dir, const std::string& command) {
  return std::system(("cd '" + dir.path() + "' && " + command).c_str());
}

// ---------------------------------------------------------------------------
// A one-second 440 Hz tone in every format must come out as one second at
// 440 Hz at the mixer's rate.

struct ToneCase {
  std::string name;
  const char* encode;  // shell: makes f of the tone in t.wav
  int rate;
  int channels;
};

class SampleDecoderTone : public SampleDecoderTest,
                          public ::testing::WithParamInterface<ToneCase> {};

TEST_P(SampleDecoderTone, KeepsPitchAndLength) {
  const ToneCase& c = GetParam();
  ASSERT_TRUE(testkit::writeToneWav(dir_.file("t.wav"), {440.0, 1.0, 0.5, c.rate, c.channels}));
  if (runIn(dir_, c.encode) != 0) GTEST_SKIP() << "cannot run " << c.encode;
  DecodedSample out;
  std::string error;
  ASSERT_TRUE(decodeSample(dir_.file("f"), kMixerRate, out, error)) << error;
  // sox writes an 8-bit VOC at the nearest time constant, 10989 Hz for
  // 11025: that file's tone is 0.33 % low.
  EXPECT_NEAR(out.sourceRate, c.rate, c.rate * 0.01);
  EXPECT_EQ(out.sourceChannels, c.channels);
  EXPECT_NEAR(out.frames.size() / 2.0, kMixerRate, kMixerRate * 0.005);
  std::vector<int16_t> channels[2];
  for (std::size_t i = 0; i < out.frames.size(); ++i) channels[i % 2].push_back(out.frames[i]);
  // The file's pitch at its level, over the middle 80 %: a tone 0.1 % off
  // already loses more than the 5 % allowed.
  const double pitch = 440.0 * out.sourceRate / c.rate;
  for (const auto& channel : channels) {
    EXPECT_NEAR(testkit::toneAmplitude(channel, channel.size() / 10, channel.size() * 8 / 10, pitch,
                                       kMixerRate),
                0.5 * 32767, 0.05 * 0.5 * 32767);
  }
}

// 8-bit VOC holds time constant blocks, 16-bit VOC blocks with a rate in Hz.
std::vector<ToneCase> toneCases() {
  std::vector<ToneCase> cases = {{"Aiff", "sox t.wav -t aiff f", 16000, 1},
                                 {"Aiff", "sox t.wav -t aiff f", 48000, 2},
                                 {"Svx", "sox t.wav -t 8svx f", 8000, 1},
                                 {"Voc8Bit", "sox t.wav -b 8 -t voc f", 11025, 1},
                                 {"Voc16Bit", "sox t.wav -t voc f", 32000, 1},
                                 {"Voc16Bit", "sox t.wav -t voc f", 44100, 2},
                                 {"Flac", "flac --silent -o f t.wav", 48000, 2},
                                 {"Flac", "flac --silent -o f t.wav", 8000, 2},
                                 {"Ogg", "oggenc -Q -o f t.wav", 44100, 1},
                                 {"Ogg", "oggenc -Q -o f t.wav", 32000, 2}};
  for (int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000})
    for (int channels : {1, 2}) cases.push_back({"Wav", "mv t.wav f", rate, channels});
  for (ToneCase& c : cases)
    c.name += std::to_string(c.rate) + (c.channels == 1 ? "Mono" : "Stereo");
  return cases;
}

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderTone, ::testing::ValuesIn(toneCases()),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Files that crash, hang or overrun SDL or SDL_mixer, or that they refuse.

// Makes the file f in the directory; false when it cannot.
using Make = std::function<bool(const testkit::TempDir&)>;

Make bytes(std::string content) {
  return [content](const testkit::TempDir& dir) { return dir.write("f", content); };
}
Make shell(std::string command) {
  return [command](const testkit::TempDir& dir) { return runIn(dir, command) == 0; };
}
// A second of 16-bit stereo FLAC whose STREAMINFO says `total` samples.
Make flacSaying(uint32_t total) {
  return [total](const testkit::TempDir& dir) {
    if (!testkit::writeToneWav(dir.file("t.wav"), {440.0, 1.0, 0.5, 44100, 2}) ||
        runIn(dir, "flac --silent -o f t.wav") != 0)
      return false;
    std::ifstream in(dir.file("f"), std::ios::binary);
    std::string flac((std::istreambuf_iterator<char>(in)), {});
    flac.replace(21, 5, '\xf0' + be(total, 4));  // the bits' low nibble, then the count
    return dir.write("f", flac);
  };
}

using testkit::vocBlock;
using testkit::vocFile;
using testkit::wavFile;
const std::string kForty(40, 'x');
// Mono, 100 frames of 16 bits at 22050 Hz.
std::string aiff(const std::string& chunks) {
  return testkit::aiffFile(1, 100, 16, std::string("\x40\x0d\xac\x44\0\0\0\0\0\0", 10), chunks);
}
const std::string kVocSound = std::string("\xd3\x00", 2) + std::string(100, '\x90');  // 22222 Hz
const char kUnrecognized[] = "Unrecognized sound file type";
// A LIST chunk of 3 bytes holding `list`, then `more` LIST chunks of 1 byte
// without a pad, then 16-bit stereo at 48 kHz.
std::string wavListFirst(const std::string& list, int more = 0) {
  std::string chunks = "LIST" + le(3, 4) + list;
  for (int i = 0; i < more; ++i) chunks += "LIST" + le(1, 4) + "x";
  return wavFile(2, 48000, std::string(42, 'x'), 1000, chunks);
}

struct HostileCase {
  const char* name;
  Make make;
  const char* error;  // empty: it decodes to minFrames to maxFrames
  std::size_t minFrames = 0, maxFrames = 0;
};

class SampleDecoderHostile : public SampleDecoderTest,
                             public ::testing::WithParamInterface<HostileCase> {};

TEST_P(SampleDecoderHostile, IsRefusedOrBounded) {
  const HostileCase& c = GetParam();
  if (!c.make(dir_)) GTEST_SKIP() << "could not make the file (no flac on PATH?)";
  const std::string path = dir_.file("f");
  DecodedSample out;
  std::string error;
  const bool decoded = decodeSample(path, kMixerRate, out, error);
  if (*c.error != '\0') {
    EXPECT_FALSE(decoded);
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(out.frames.empty());
  } else {
    ASSERT_TRUE(decoded) << error;
    EXPECT_GE(out.frames.size() / 2, c.minFrames);
    EXPECT_LE(out.frames.size() / 2, c.maxFrames);
  }
}

const HostileCase kHostileCases[] = {
    {"WavRate1", bytes(wavFile(1, 1, kForty)), "sample rate 1 Hz is outside 1000 to 384000 Hz"},
    {"WavRate22579200", bytes(wavFile(1, 22579200, kForty)),
     "sample rate 22579200 Hz is outside 1000 to 384000 Hz"},
    // The fmt chunk's header is the file's last bytes.
    {"WavFmtCutShort", bytes("RIFF" + le(100, 4) + "WAVEfmt " + le(16, 4)),
     "WAV fmt chunk is too short (0 bytes)"},
    {"WavNoChannels", bytes(wavFile(0, 22050, kForty)),
     "0 channels; SDL converts only 1, 2, 4 or 6"},
    // A LIST chunk of odd length before fmt, with its pad byte or without
    // (SDL 1.2 and SDL2 each read one of them), and data declared past the
    // end: 10 frames at 48 kHz.
    {"WavOddListPadded", bytes(wavListFirst(std::string("abc\0", 4))), "", 4, 5},
    {"WavOddListUnpadded", bytes(wavListFirst("abc")), "", 4, 5},
    // Each pad given moves the rest of the file: only the first eight are.
    {"WavTwentyChunksWithoutPads", bytes(wavListFirst("abc", 20)),
     "Complex WAVE files not supported"},
    {"WavClaimsFourGigabytes", bytes(wavFile(1, 22050, std::string(400, 'x'), 0xfffffff0u)), "",
     200, 200},
    // Sound data cut short of its declared 10000 bytes: 100 bytes at 22222 Hz.
    {"TruncatedVoc", bytes(vocFile(vocBlock(1, kVocSound, 10002))), "", 95, 105},
    // Declares 16 MB of 8-bit sound; SDL_mixer made a 128 MB sample of it.
    {"JunkVoc82Bytes",
     bytes(vocFile(vocBlock(
         9, le(22050, 4) + le(8, 1) + le(1, 1) + std::string(6, '\0') + std::string(40, 'j'),
         0xffffff))),
     "", 40, 40},
    // SDL_mixer reads the following block into a buffer it never grew.
    {"VocEmptyBlockBeforeSound",
     bytes(vocFile(vocBlock(1, kVocSound.substr(0, 2)) + vocBlock(1, kVocSound))),
     "VOC data block at byte 26 is empty"},
    // ... and likewise the block after the terminator.
    {"VocBlocksAfterTheEnd",
     bytes(vocFile(vocBlock(1, kVocSound) + std::string(1, '\0') +
                   vocBlock(2, std::string(60, 'x')))),
     "", 95, 105},
    // 10 stereo frames at 44.1 kHz, and 3 more in a continuation block.
    {"VocRateAndContinuation",
     bytes(vocFile(vocBlock(9, le(44100, 4) + "\x10\x02" + std::string(46, '\0')) +
                   vocBlock(2, std::string(12, '\0')))),
     "", 6, 7},
    {"VocMonoExtendedBlock",
     bytes(vocFile(vocBlock(8, le(65536 - 11610, 2) + std::string(2, '\0')) +
                   vocBlock(1, kVocSound))),
     "VOC extended block for mono sound, on which SDL_mixer divides by zero"},
    {"VocStartsWithSilence",
     bytes(vocFile(vocBlock(3, le(1000, 2) + "\xd3") + vocBlock(1, kVocSound))),
     "VOC sound does not start with a data block"},
    // Classic SDL loops for ever looking for the SSND chunk.
    {"AiffWithoutSoundChunk", bytes(aiff("")), "Bad AIFF (no SSND chunk)"},
    // COMM declares 100 frames; SDL_mixer refused the file for the 50 it lacks.
    {"AiffShorterThanDeclared",
     bytes(aiff("SSND" + std::string("\0\0\0\x6c", 4) + std::string(108, '\0'))), "", 50, 50},
    // 8SVX at 8 kHz whose BODY declares more than the 30 frames it holds.
    {"SvxShorterThanDeclared",
     bytes("FORM" + be(0, 4) + "8SVXVHDR" + be(20, 4) + std::string(12, '\0') + be(8000, 2) +
           std::string(6, '\0') + "BODY" + be(99, 4) + std::string(30, 'x')),
     "", 82, 83},
    // STREAMINFO claiming fewer samples than the stream holds overran SDL_mixer's buffer.
    {"FlacLongerThanStreamInfo", flacSaying(1000), "", 22050, 22050},
    {"FlacWithoutSampleCount", flacSaying(0), "", 22050, 22050},
    // STREAMINFO alone, at 0 Hz, mono: SDL_mixer crashed converting no frames.
    {"FlacRate0WithoutFrames",
     bytes("fLaC\x80" + be(34, 3) + be(0x1000100000000000, 8) + std::string(26, '\0')),
     "sample rate 0 Hz is outside 1000 to 384000 Hz"},
    {"Fifo", shell("mkfifo f"), "not a regular file but a FIFO"},
    {"DevZero", shell("ln -s /dev/zero f"), "not a regular file but a character device"},
    {"OverOneGibibyte", shell("truncate -s 1073741825 f"), "file is larger than 1 GiB"},
    {"EmptyFile", bytes(""), kUnrecognized},
    {"Mp3Header", bytes("ID3\x03\0\0\0\0\0\0 and so on"), kUnrecognized},
    {"Directory", shell("mkdir f"), kUnrecognized},
    {"MissingFile", shell("true"), "Mix_LoadWAV_RW with NULL src"},
};

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderHostile, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

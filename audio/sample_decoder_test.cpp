#include "audio/sample_decoder.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "testing/child.h"
#include "testing/programs.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

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

std::string le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------------------
// A one-second 440 Hz tone in every format must come out as one second at
// 440 Hz at the mixer's rate.

enum class Encoder { kWav, kSox, kSox8Bit, kFlac, kOggenc };

struct ToneCase {
  const char* name;
  Encoder encoder;
  const char* extension;
  int rate;
  int channels;
};

void PrintTo(const ToneCase& c, std::ostream* os) { *os << c.name; }

// The tone's frequency from its rising zero crossings over the middle 80 %.
double risingCrossingsPerSecond(const std::vector<int16_t>& samples) {
  std::size_t first = 0, last = 0, count = 0;
  for (std::size_t i = samples.size() / 10 + 1; i < samples.size() * 9 / 10; ++i) {
    if (samples[i - 1] >= 0 || samples[i] < 0) continue;
    if (count++ == 0) first = i;
    last = i;
  }
  return count < 2 ? 0.0 : (count - 1) * double(kMixerRate) / double(last - first);
}

class SampleDecoderTone : public SampleDecoderTest,
                          public ::testing::WithParamInterface<ToneCase> {};

TEST_P(SampleDecoderTone, KeepsPitchAndLength) {
  const ToneCase& c = GetParam();
  testkit::Tone tone;
  tone.frequency = 440.0;
  tone.seconds = 1.0;
  tone.rate = c.rate;
  tone.channels = c.channels;
  const std::string wav = dir_.file("tone.wav"), path = dir_.file(std::string("s.") + c.extension);
  ASSERT_TRUE(testkit::writeToneWav(wav, tone));
  const char* tool[] = {"", "sox", "sox", "flac", "oggenc"};
  const std::vector<std::vector<std::string>> args = {{},
                                                      {wav, path},
                                                      {wav, "-b", "8", path},
                                                      {"--silent", "-o", path, wav},
                                                      {"-Q", "-o", path, wav}};
  const int e = static_cast<int>(c.encoder);
  if (c.encoder != Encoder::kWav) {
    if (testkit::findProgram(tool[e]).empty()) GTEST_SKIP() << "no " << tool[e] << " on PATH";
    std::string output;
    ASSERT_TRUE(testkit::runProgram(tool[e], args[e], &output)) << output;
  }
  DecodedSample out;
  std::string error;
  ASSERT_TRUE(decodeSample(c.encoder == Encoder::kWav ? wav : path, kMixerRate, out, error))
      << error;
  // sox writes an 8-bit VOC at the nearest time constant: 10989 Hz for
  // 11025, so its tone is 0.33 % low.
  EXPECT_NEAR(out.sourceRate, c.rate, c.rate * 0.01);
  EXPECT_EQ(out.sourceChannels, c.channels);
  const std::size_t frames = out.frames.size() / 2;
  EXPECT_NEAR(static_cast<double>(frames), kMixerRate, kMixerRate * 0.005);
  std::vector<int16_t> left, right;
  for (std::size_t i = 0; i < frames; ++i) {
    left.push_back(out.frames[2 * i]);
    right.push_back(out.frames[2 * i + 1]);
  }
  for (const auto* channel : {&left, &right}) {
    EXPECT_NEAR(risingCrossingsPerSecond(*channel), 440.0, 440.0 * 0.005);
    EXPECT_NEAR(testkit::rms(*channel, 2048, 16384), 0.5 * 32767 / std::sqrt(2.0), 0.05 * 32767);
  }
}

std::vector<ToneCase> toneCases() {
  std::vector<ToneCase> cases = {
      {"Aiff", Encoder::kSox, "aiff", 16000, 1},       {"Aiff", Encoder::kSox, "aiff", 48000, 2},
      {"Voc8Bit", Encoder::kSox8Bit, "voc", 11025, 1},  // time constant blocks
      {"Voc16Bit", Encoder::kSox, "voc", 32000, 1},     // blocks with a rate in Hz
      {"Voc16Bit", Encoder::kSox, "voc", 44100, 2},    {"Flac", Encoder::kFlac, "flac", 48000, 2},
      {"Flac", Encoder::kFlac, "flac", 8000, 2},       {"Ogg", Encoder::kOggenc, "ogg", 44100, 1},
      {"Ogg", Encoder::kOggenc, "ogg", 32000, 2}};
  for (int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000})
    for (int channels : {1, 2}) cases.push_back({"Wav", Encoder::kWav, "wav", rate, channels});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderTone, ::testing::ValuesIn(toneCases()),
                         [](const auto& info) {
                           const ToneCase& c = info.param;
                           return c.name + std::to_string(c.rate) +
                                  (c.channels == 1 ? "Mono" : "Stereo");
                         });

// ---------------------------------------------------------------------------
// Files that crash, hang or overrun SDL or SDL_mixer, or that they refuse.

std::string craftedWav(uint32_t rate, uint16_t channels) {  // 84 bytes
  return "RIFF" + le(76, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) + le(rate, 4) +
         le(rate * 2, 4) + le(2u * channels, 2) + le(16, 2) + "data" + le(40, 4) +
         std::string(40, 'x');
}

std::string vocBlock(int type, const std::string& payload, uint32_t declared) {
  return static_cast<char>(type) + le(declared, 3) + payload;
}
std::string vocBlock(int type, const std::string& payload) {
  return vocBlock(type, payload, static_cast<uint32_t>(payload.size()));
}
std::string voc(const std::string& blocks) {
  return std::string("Creative Voice File\x1a", 20) + le(26, 2) + le(0x010a, 2) + le(0x1129, 2) +
         blocks;
}
// FORM, AIFF and a COMM chunk: mono, 100 frames of 16 bits at 22050 Hz.
const std::string kAiffHead = "FORM" + std::string("\0\0\0\x1e", 4) + "AIFFCOMM" +
                              std::string("\0\0\0\x12\0\x01\0\0\0\x64\0\x10\x40\x0d\xac\x44", 16) +
                              std::string(6, '\0');
const std::string kVocSound = std::string("\xd3\x00", 2) + std::string(100, '\x90');  // 22222 Hz

struct HostileCase {
  const char* name;
  std::function<std::string(const testkit::TempDir&)> make;  // returns the path
  const char* error;                                         // empty: must decode
  std::size_t minFrames = 0, maxFrames = 0;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

std::function<std::string(const testkit::TempDir&)> file(std::string content) {
  return [content](const testkit::TempDir& dir) {
    dir.write("f", content);
    return dir.file("f");
  };
}

std::function<std::string(const testkit::TempDir&)> flacWithTotal(uint64_t total) {
  return [total](const testkit::TempDir& dir) {
    testkit::Tone tone;
    tone.seconds = 1.0;
    tone.rate = 44100;
    tone.channels = 2;
    if (!testkit::writeToneWav(dir.file("t.wav"), tone) ||
        !testkit::runProgram("flac", {"--silent", "-o", dir.file("t.flac"), dir.file("t.wav")}))
      return std::string();
    std::string bytes = readFile(dir.file("t.flac"));
    bytes[21] = static_cast<char>((bytes[21] & 0xf0) | ((total >> 32) & 0x0f));
    for (int i = 0; i < 4; ++i) bytes[22 + i] = static_cast<char>(total >> (24 - 8 * i));
    dir.write("f", bytes);
    return dir.file("f");
  };
}

class SampleDecoderHostile : public SampleDecoderTest,
                             public ::testing::WithParamInterface<HostileCase> {};

TEST_P(SampleDecoderHostile, IsRefusedOrBounded) {
  const HostileCase& c = GetParam();
  const std::string path = c.make(dir_);
  if (path.empty()) GTEST_SKIP() << "could not make the file (no flac on PATH?)";
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
    {"WavRate0", file(craftedWav(0, 1)), "sample rate 0 Hz is outside 1000 to 384000 Hz"},
    {"WavRate1", file(craftedWav(1, 1)), "sample rate 1 Hz is outside 1000 to 384000 Hz"},
    {"WavRate22579200", file(craftedWav(22579200, 1)),
     "sample rate 22579200 Hz is outside 1000 to 384000 Hz"},
    {"WavNoChannels", file(craftedWav(22050, 0)), "0 channels; SDL converts only 1, 2, 4 or 6"},
    {"WavClaimsFourGigabytes",
     file("RIFF" + le(36, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(22050, 4) +
          le(44100, 4) + le(2, 2) + le(16, 2) + "data" + le(0xfffffff0u, 4) + std::string(400, 'x')),
     "", 200, 200},
    // Sound data cut short of its declared 10000 bytes: 100 bytes at 22222 Hz.
    {"TruncatedVoc", file(voc(vocBlock(1, kVocSound, 10002))), "", 95, 105},
    // Declares 16 MB of 8-bit sound; SDL_mixer made a 128 MB sample of it.
    {"JunkVoc82Bytes",
     file(voc(vocBlock(9, le(22050, 4) + le(8, 1) + le(1, 1) + std::string(6, '\0') +
                              std::string(40, 'j'),
                       0xffffff))),
     "", 40, 40},
    // SDL_mixer reads the following block into a buffer it never grew.
    {"VocEmptyBlockBeforeSound",
     file(voc(vocBlock(1, kVocSound.substr(0, 2)) + vocBlock(1, kVocSound))),
     "VOC data block at byte 26 is empty"},
    // ... and likewise the block after the terminator.
    {"VocBlocksAfterTheEnd",
     file(voc(vocBlock(1, kVocSound) + std::string(1, '\0') + vocBlock(2, std::string(60, 'x')))),
     "", 95, 105},
    {"VocMonoExtendedBlock",
     file(voc(vocBlock(8, le(65536 - 11610, 2) + std::string(2, '\0')) + vocBlock(1, kVocSound))),
     "VOC extended block for mono sound, on which SDL_mixer divides by zero"},
    {"VocStartsWithSilence",
     file(voc(vocBlock(3, le(1000, 2) + "\xd3") + vocBlock(1, kVocSound))),
     "VOC sound does not start with a data block"},
    // Classic SDL loops for ever looking for the SSND chunk.
    {"AiffWithoutSoundChunk", file(kAiffHead), "Bad AIFF (no SSND chunk)"},
    // COMM declares 100 frames; SDL_mixer refused the file for the 50 it lacks.
    {"AiffShorterThanDeclared",
     file(kAiffHead + "SSND" + std::string("\0\0\0\x6c", 4) + std::string(108, '\0')), "", 50,
     50},
    // STREAMINFO claiming fewer samples than the stream holds overran SDL_mixer's buffer.
    {"FlacLongerThanStreamInfo", flacWithTotal(1000), "", 22050, 22050},
    {"FlacWithoutSampleCount", flacWithTotal(0), "", 22050, 22050},
    {"Fifo",
     [](const testkit::TempDir& dir) {
       mkfifo(dir.file("fifo").c_str(), 0600);
       return dir.file("fifo");
     },
     "not a regular file but a FIFO"},
    {"DevZero", [](const testkit::TempDir&) { return std::string("/dev/zero"); },
     "not a regular file but a character device"},
    {"OverOneGibibyte",
     [](const testkit::TempDir& dir) {
       const int fd = open(dir.file("big").c_str(), O_CREAT | O_WRONLY, 0600);
       if (fd >= 0 && ftruncate(fd, (off_t{1} << 30) + 1) == 0) close(fd);
       return dir.file("big");
     },
     "file is larger than 1 GiB"},
};

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderHostile, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Where SDL_mixer refused a file safely, its words stay as they were:
// compared with what it says on this SDL library for the file read its way.
class SampleDecoderMixerWords : public SampleDecoderTest,
                                public ::testing::WithParamInterface<HostileCase> {};

TEST_P(SampleDecoderMixerWords, AreKept) {
  const HostileCase& c = GetParam();
  const std::string path = c.make(dir_);
  SDL_ClearError();
  ASSERT_EQ(Mix_LoadWAV_RW(SDL_RWFromFile(path.c_str(), "rb"), 1), nullptr);
  const std::string mixerWords = SDL_GetError();
  EXPECT_EQ(mixerWords, c.error) << (testkit::onCompat() ? "sdl12-compat" : "classic SDL");
  DecodedSample out;
  std::string error;
  EXPECT_FALSE(decodeSample(path, kMixerRate, out, error));
  EXPECT_EQ(error, mixerWords);
}

const HostileCase kMixerRefusals[] = {
    {"EmptyFile", file(""), "Unrecognized sound file type"},
    {"TextFile", file("not a sound, only words\n"), "Unrecognized sound file type"},
    {"Mp3Header", file("ID3\x03\0\0\0\0\0\0 and so on"), "Unrecognized sound file type"},
    {"Directory", [](const testkit::TempDir& dir) { return dir.path(); },
     "Unrecognized sound file type"},
    {"MissingFile", [](const testkit::TempDir& dir) { return dir.file("none.wav"); },
     "Mix_LoadWAV_RW with NULL src"},
};

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderMixerWords,
                         ::testing::ValuesIn(kMixerRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

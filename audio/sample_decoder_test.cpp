#include "audio/sample_decoder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
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
constexpr double kPi = 3.14159265358979323846;

class SampleDecoderTest : public ::testing::Test {
 protected:
  // The file f decoded at the mixer's rate; a failure is the test's.
  DecodedSample decode(const DecodeOptions& options = {}) {
    DecodedSample out;
    std::string error;
    EXPECT_TRUE(decodeSample(dir_.file("f"), kMixerRate, out, error, options)) << error;
    return out;
  }
  testkit::TempDir dir_;
};

int runIn(const testkit::TempDir& dir, const std::string& command) {
  return std::system(("cd '" + dir.path() + "' && " + command).c_str());
}

// Makes the file f in the directory; false when it cannot.
using Make = std::function<bool(const testkit::TempDir&)>;

// A second of a 440 Hz sine at `amplitude` in every channel, written by sox
// with `options` (type, encoding, bits).
Make sox(const std::string& options, int rate, int channels, double amplitude = 0.5) {
  return [=](const testkit::TempDir& dir) {
    return runIn(dir, "sox -D -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                          " " + options + " f synth 1 sine 440 vol " + std::to_string(amplitude) +
                          " 2>/dev/null") == 0;
  };
}

// Frames written by libsndfile, which writes what sox cannot (MP3, Opus, RF64).
bool writeSndfile(const std::string& path, int format, int rate, int channels,
                  const std::vector<float>& values) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const sf_count_t frames = static_cast<sf_count_t>(values.size()) / channels;
  const bool written = sf_writef_float(file, values.data(), frames) == frames;
  return sf_close(file) == 0 && written;
}

// `seconds` of a sine at each of `frequencies`, one to a channel.
std::vector<float> sines(const std::vector<double>& frequencies, int rate, double amplitude,
                         double seconds = 1.0) {
  std::vector<float> values;
  const auto frames = static_cast<std::size_t>(std::lround(seconds * rate));
  for (std::size_t i = 0; i < frames; ++i)
    for (double frequency : frequencies)
      values.push_back(static_cast<float>(amplitude * std::sin(2 * kPi * frequency * i / rate)));
  return values;
}

Make sndfile(int format, int rate, int channels, double amplitude = 0.5) {
  return [=](const testkit::TempDir& dir) {
    return writeSndfile(dir.file("f"), format, rate, channels,
                        sines(std::vector<double>(channels, 440.0), rate, amplitude));
  };
}

// A second of 16-bit stereo FLAC at 44.1 kHz whose STREAMINFO says `total`
// samples.
Make flacSaying(uint32_t total) {
  return [total](const testkit::TempDir& dir) {
    if (!sox("-b 16 -t flac", 44100, 2)(dir)) return false;
    std::ifstream in(dir.file("f"), std::ios::binary);
    std::string flac((std::istreambuf_iterator<char>(in)), {});
    flac.replace(21, 5, '\xf0' + be(total, 4));  // the bits' low nibble, then the count
    return dir.write("f", flac);
  };
}

std::vector<int16_t> side(const DecodedSample& decoded, int which) {
  std::vector<int16_t> values;
  for (std::size_t i = which; i < decoded.frames.size(); i += 2)
    values.push_back(decoded.frames[i]);
  return values;
}

// A one-second 440 Hz tone in every format, depth, rate and layout comes out
// as one second at 440 Hz at the mixer's rate, at its level, and says what
// it is.

// Written by sox with `sox` options (type, encoding, bits), or else by
// libsndfile in `sndfile` format.
struct ToneCase {
  const char* name;
  const char* sox;
  int sndfile;
  int rate;
  int channels;
  const char* format;
};

class SampleDecoderTone : public SampleDecoderTest,
                          public ::testing::WithParamInterface<ToneCase> {};

TEST_P(SampleDecoderTone, KeepsPitchLengthAndLevel) {
  const ToneCase& c = GetParam();
  // Every channel of the many-channel files carries the tone: the mix-down
  // adds the front channel and, at -3 dB, the centre and the surround of
  // each side (quad: front and surround).
  const double amplitude = c.channels > 2 ? 0.2 : 0.5;
  const double level = c.channels == 6   ? 0.2 * (1 + 2 * 0.70710678)
                       : c.channels == 4 ? 0.2 * (1 + 0.70710678)
                                         : 0.5;  // what each side must hold, of full scale
  const Make make = c.sox ? sox(c.sox, c.rate, c.channels, amplitude)
                          : sndfile(c.sndfile, c.rate, c.channels, amplitude);
  ASSERT_TRUE(make(dir_)) << "cannot make the file";
  const DecodedSample out = decode();
  EXPECT_EQ(out.format, c.format);
  // sox writes an 8-bit VOC at the nearest time constant, 10989 Hz for
  // 11025: that file's tone is 0.33 % low.
  EXPECT_NEAR(out.sourceRate, c.rate, c.rate * 0.005);
  EXPECT_EQ(out.sourceChannels, c.channels);
  EXPECT_NEAR(out.frames.size() / 2.0, kMixerRate, kMixerRate * 0.005);
  const double pitch = 440.0 * out.sourceRate / c.rate;
  for (int which : {0, 1}) {
    const std::vector<int16_t> values = side(out, which);
    // Over the middle 80 %: the pitch by its zero crossings, and the level at
    // that pitch, which a tone 0.1 % off already loses more than 5 % of.
    const std::size_t begin = values.size() / 10, count = values.size() * 8 / 10;
    int crossings = 0;
    for (std::size_t i = begin + 1; i < begin + count; ++i)
      crossings += (values[i - 1] < 0) != (values[i] < 0);
    EXPECT_NEAR(crossings / 2.0 / (count / double(kMixerRate)), 440.0, 440.0 * 0.005) << which;
    EXPECT_NEAR(testkit::toneAmplitude(values, begin, count, pitch, kMixerRate), level * 32767,
                0.05 * level * 32767)
        << which;
  }
}

const ToneCase kToneCases[] = {
    {"Wav8Bit11025Mono", "-b 8 -t wav", 0, 11025, 1, "11.025 kHz 8-bit mono WAV"},
    {"Wav16Bit8000Mono", "-b 16 -t wav", 0, 8000, 1, "8 kHz 16-bit mono WAV"},
    {"Wav16Bit16000Stereo", "-b 16 -t wav", 0, 16000, 2, "16 kHz 16-bit stereo WAV"},
    {"Wav16Bit22050Mono", "-b 16 -t wav", 0, 22050, 1, "22.05 kHz 16-bit mono WAV"},
    {"Wav16Bit44100Stereo", "-b 16 -t wav", 0, 44100, 2, "44.1 kHz 16-bit stereo WAV"},
    // sox writes more than 16 bits, and more than two channels, as
    // WAVE_FORMAT_EXTENSIBLE.
    {"Wav24Bit48000Stereo", "-b 24 -t wav", 0, 48000, 2, "48 kHz 24-bit stereo WAV"},
    {"Wav32Bit96000Mono", "-b 32 -t wav", 0, 96000, 1, "96 kHz 32-bit mono WAV"},
    {"WavFloat32000Stereo", "-e floating-point -b 32 -t wav", 0, 32000, 2,
     "32 kHz 32-bit float stereo WAV"},
    {"WavDouble44100Mono", nullptr, SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 44100, 1,
     "44.1 kHz 64-bit float mono WAV"},
    {"WavMsAdpcm8000Stereo", "-e ms-adpcm -t wav", 0, 8000, 2, "8 kHz MS ADPCM stereo WAV"},
    {"Wav6Channels44100", "-b 16 -t wav", 0, 44100, 6, "44.1 kHz 16-bit 6-channel WAV"},
    {"WavQuad48000", "-b 24 -t wav", 0, 48000, 4, "48 kHz 24-bit 4-channel WAV"},
    {"Rf6424Bit48000Stereo", nullptr, SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 48000, 2,
     "48 kHz 24-bit stereo RF64"},
    {"W6416Bit44100Mono", "-b 16 -t w64", 0, 44100, 1, "44.1 kHz 16-bit mono W64"},
    {"Aiff16Bit16000Mono", "-b 16 -t aiff", 0, 16000, 1, "16 kHz 16-bit mono AIFF"},
    {"AiffC24Bit48000Stereo", "-b 24 -t aifc", 0, 48000, 2, "48 kHz 24-bit stereo AIFF"},
    {"Caf24Bit96000Stereo", "-b 24 -t caf", 0, 96000, 2, "96 kHz 24-bit stereo CAF"},
    {"Flac16Bit8000Mono", "-b 16 -t flac", 0, 8000, 1, "8 kHz 16-bit mono FLAC"},
    {"Flac16Bit44100Stereo", "-b 16 -t flac", 0, 44100, 2, "44.1 kHz 16-bit stereo FLAC"},
    {"Flac24Bit96000Stereo", "-b 24 -t flac", 0, 96000, 2, "96 kHz 24-bit stereo FLAC"},
    {"Flac6Channels48000", "-b 16 -t flac", 0, 48000, 6, "48 kHz 16-bit 6-channel FLAC"},
    {"Vorbis44100Mono", "-t ogg", 0, 44100, 1, "44.1 kHz mono Ogg Vorbis"},
    {"Vorbis32000Stereo", "-t ogg", 0, 32000, 2, "32 kHz stereo Ogg Vorbis"},
    {"Opus48000Stereo", nullptr, SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 2, "48 kHz stereo Opus"},
    {"Opus16000Mono", nullptr, SF_FORMAT_OGG | SF_FORMAT_OPUS, 16000, 1, "16 kHz mono Opus"},
    {"Mp344100Stereo", nullptr, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2,
     "44.1 kHz stereo MP3"},
    {"Mp322050Mono", nullptr, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050, 1,
     "22.05 kHz mono MP3"},
    // 8-bit VOC holds time constant blocks, 16-bit VOC blocks with a rate in Hz.
    {"Voc8Bit11025Mono", "-b 8 -t voc", 0, 11025, 1, "10.989 kHz 8-bit mono VOC"},
    {"Voc16Bit32000Mono", "-b 16 -t voc", 0, 32000, 1, "32 kHz 16-bit mono VOC"},
    {"Voc16Bit44100Stereo", "-b 16 -t voc", 0, 44100, 2, "44.1 kHz 16-bit stereo VOC"},
    {"Svx8000Mono", "-t 8svx", 0, 8000, 1, "8 kHz 8-bit mono 8SVX"},
};

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderTone, ::testing::ValuesIn(kToneCases),
                         [](const auto& info) { return std::string(info.param.name); });

// More than two channels: each at its place, by the file's own channel map
// or, where it has none, by the layout its format implies.

struct DownmixCase {
  const char* name;
  int format;
  // The level each channel must reach on the left and on the right, in the
  // file's order.
  std::vector<std::pair<double, double>> gains;
};

class SampleDecoderDownmix : public SampleDecoderTest,
                             public ::testing::WithParamInterface<DownmixCase> {};

TEST_P(SampleDecoderDownmix, PutsEachChannelInItsPlace) {
  const DownmixCase& c = GetParam();
  const int channels = static_cast<int>(c.gains.size());
  // A tone of its own in each channel, 100 Hz apart, the last at 100 Hz
  // (Vorbis keeps only low tones in its LFE channel, the last).
  std::vector<double> frequencies;
  for (int i = 0; i < channels; ++i) frequencies.push_back(100.0 * (channels - i));
  ASSERT_TRUE(
      writeSndfile(dir_.file("f"), c.format, 44100, channels, sines(frequencies, 44100, 0.2, 0.5)));
  const DecodedSample out = decode();
  const std::vector<int16_t> sides[] = {side(out, 0), side(out, 1)};
  const std::size_t begin = sides[0].size() / 10, count = sides[0].size() * 8 / 10;
  for (int i = 0; i < channels; ++i) {
    const double expected[] = {c.gains[i].first, c.gains[i].second};
    for (int which : {0, 1}) {
      EXPECT_NEAR(testkit::toneAmplitude(sides[which], begin, count, frequencies[i], kMixerRate),
                  expected[which] * 0.2 * 32767, 0.03 * 0.2 * 32767)
          << "channel " << i << (which == 0 ? " left" : " right");
    }
  }
}

constexpr double k3dB = 0.70710678;
// WAVE_FORMAT_EXTENSIBLE names them: front left, right, centre, LFE, back
// left, back right. FLAC names none: its 5.1 is WAV's.
const std::vector<std::pair<double, double>> kWav51 = {{1, 0}, {0, 1},    {k3dB, k3dB},
                                                       {0, 0}, {k3dB, 0}, {0, k3dB}};
const DownmixCase kDownmixCases[] = {
    {"Wav51", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, kWav51},
    {"Flac51", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, kWav51},
    // Vorbis puts the centre second and the LFE last.
    {"Vorbis51",
     SF_FORMAT_OGG | SF_FORMAT_VORBIS,
     {{1, 0}, {k3dB, k3dB}, {0, 1}, {k3dB, 0}, {0, k3dB}, {0, 0}}},
    {"FlacThree", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, {{1, 0}, {0, 1}, {k3dB, k3dB}}},
};

INSTANTIATE_TEST_SUITE_P(SampleDecoder, SampleDecoderDownmix, ::testing::ValuesIn(kDownmixCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Float samples beyond full scale are limited, not wrapped, and a value that
// is not a number is silence.
TEST_F(SampleDecoderTest, LimitsFloatBeyondFullScale) {
  const float values[] = {2.0f, -2.0f, NAN, INFINITY, -INFINITY, 0.5f, 1.0f, -1.0f};
  ASSERT_TRUE(writeSndfile(dir_.file("f"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, kMixerRate, 1,
                           std::vector<float>(std::begin(values), std::end(values))));
  EXPECT_EQ(side(decode(), 0),
            (std::vector<int16_t>{32767, -32768, 0, 32767, -32768, 16384, 32767, -32768}));
  // Resampled, a tone at twice full scale stays a (clipped) tone.
  ASSERT_TRUE(writeSndfile(dir_.file("f"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                           sines({440.0}, 48000, 2.0, 0.2)));
  const std::vector<int16_t> left = side(decode(), 0);
  EXPECT_GT(testkit::toneAmplitude(left, 0, left.size(), 440.0, kMixerRate), 32767.0);
}

// The sound comes after the lead, and the lead is silence.
TEST_F(SampleDecoderTest, DecodesBehindTheLead) {
  ASSERT_TRUE(writeSndfile(dir_.file("f"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kMixerRate, 1,
                           std::vector<float>(100, 0.5f)));
  DecodeOptions options;
  options.leadFrames = 512;
  const DecodedSample out = decode(options);
  ASSERT_EQ(out.frames.size(), 2u * 612);
  EXPECT_EQ(out.frames[2 * 511 + 1], 0);
  EXPECT_EQ(out.frames[2 * 512], 16384);
}

// A sound whose length no header tells is bounded while it is decoded, and
// a decoding can be ended between its blocks.
TEST_F(SampleDecoderTest, StopsAtTheBoundOrWhenInterrupted) {
  // No sample count in STREAMINFO.
  ASSERT_TRUE(flacSaying(0)(dir_));
  DecodedSample out;
  std::string error;
  DecodeOptions options;
  options.maxBytes = 4 * 22049;
  EXPECT_FALSE(decodeSample(dir_.file("f"), kMixerRate, out, error, options));
  EXPECT_EQ(error, "decoded sample would be larger than 88196 bytes");
  options.maxBytes = 4 * 22050;
  EXPECT_TRUE(decodeSample(dir_.file("f"), kMixerRate, out, error, options)) << error;
  int asked = 0;
  options.interrupted = [&asked] { return ++asked == 2; };
  EXPECT_FALSE(decodeSample(dir_.file("f"), kMixerRate, out, error, options));
  EXPECT_EQ(error, kDecodeInterrupted);
  EXPECT_TRUE(out.frames.empty());
}

// What a file that is no sample is, and what to do about it.
TEST_F(SampleDecoderTest, SaysWhatAFileThatIsNoSampleIs) {
  const struct {
    std::string content;
    const char* what;
    const char* fix;  // a part of it
  } cases[] = {
      {std::string("\0\0\0\x20"
                   "ftypM4A \0\0\0\0",
                   16),
       "it is an MPEG-4 file (AAC or ALAC, as in .m4a), which velumora does not read",
       "ffmpeg -i 'rain.m4a' 'rain.flac'"},
      {"MThd" + be(6, 4) + std::string(6, '\0'), "it is a MIDI file, which holds notes, not sound",
       "timidity 'rain.m4a' -Ow -o 'rain.wav'"},
      {"s = (_main = \"x.wav\");\n", "it is text, not sound", "velumora reads WAV"},
      {"", "the file is empty", "FLAC"},
      {std::string("\x01\x02\x03\x04", 4), "", ""},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(dir_.write("rain.m4a", c.content));
    std::string error;
    DecodedSample out;
    EXPECT_FALSE(decodeSample(dir_.file("rain.m4a"), kMixerRate, out, error));
    EXPECT_EQ(error, "Unrecognized sound file type");
    const SampleFileAdvice advice = unreadableSampleAdvice(dir_.file("rain.m4a"));
    EXPECT_EQ(advice.what, c.what);
    EXPECT_NE(advice.fix.find(c.fix), std::string::npos) << advice.fix;
  }
}

// Files that crashed, hung or overran SDL or SDL_mixer, or that they
// refused, and files that are hostile to libsndfile or to what follows it.

Make bytes(std::string content) {
  return [content](const testkit::TempDir& dir) { return dir.write("f", content); };
}
Make shell(std::string command) {
  return [command](const testkit::TempDir& dir) { return runIn(dir, command) == 0; };
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
  ASSERT_TRUE(c.make(dir_)) << "cannot make the file";
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
    // A format SDL_mixer did not know, which libsndfile reads: refused for
    // what is wrong with it.
    {"CafRate500", sndfile(SF_FORMAT_CAF | SF_FORMAT_PCM_16, 500, 1),
     "sample rate 500 Hz is outside 1000 to 384000 Hz"},
    // The fmt chunk's header is the file's last bytes.
    {"WavFmtCutShort", bytes("RIFF" + le(100, 4) + "WAVEfmt " + le(16, 4)),
     "Error in WAV/W64/RF64 file. Malformed 'fmt ' chunk."},
    {"WavNoChannels", bytes(wavFile(0, 22050, kForty)), "Channel count is zero."},
    // A LIST chunk of odd length before fmt, with its pad byte or without
    // (as SDL 1.2 read it), and data declared past the end: 10 frames at
    // 48 kHz.
    {"WavOddListPadded", bytes(wavListFirst(std::string("abc\0", 4))), "", 4, 5},
    {"WavOddListUnpadded", bytes(wavListFirst("abc")), "", 4, 5},
    {"WavTwentyChunksWithoutPads", bytes(wavListFirst("abc", 20)), "", 4, 5},
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
    // SDL_mixer read the following block into a buffer it never grew.
    {"VocEmptyBlockBeforeSound",
     bytes(vocFile(vocBlock(1, kVocSound.substr(0, 2)) + vocBlock(1, kVocSound))), "", 95, 105},
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
    // On an extended block for mono sound SDL_mixer divided by zero: 100
    // frames at 22050 Hz.
    {"VocMonoExtendedBlock",
     bytes(vocFile(vocBlock(8, le(65536 - 11610, 2) + std::string(2, '\0')) +
                   vocBlock(1, kVocSound))),
     "", 100, 100},
    // 1001 frames of silence, then the sound, at 22222 Hz.
    {"VocStartsWithSilence",
     bytes(vocFile(vocBlock(3, le(1000, 2) + "\xd3") + vocBlock(1, kVocSound))), "", 1085, 1100},
    // A stereo 8-bit block after its extended block, 50 frames; then silence
    // in the same format and a block in another, where the sound ends.
    {"VocStereoExtendedThenOtherRate",
     bytes(vocFile(vocBlock(8, le(65536 - 5805, 2) + std::string("\0\x01", 2)) +
                   vocBlock(1, kVocSound) + vocBlock(3, le(49, 2) + "\xd3") +
                   vocBlock(1, "\x10" + kVocSound.substr(1)))),
     "", 100, 100},
    {"VocAdpcm", bytes(vocFile(vocBlock(1, "\xd3\x01" + kVocSound.substr(2)))),
     "VOC sound in an encoding that is not read (ADPCM)"},
    // Classic SDL loops for ever looking for the SSND chunk.
    {"AiffWithoutSoundChunk", bytes(aiff("")), "Unspecified internal error."},
    // COMM declares 100 frames; SDL_mixer refused the file for the 50 it lacks.
    {"AiffShorterThanDeclared",
     bytes(aiff("SSND" + std::string("\0\0\0\x6c", 4) + std::string(108, '\0'))), "", 50, 50},
    // 8SVX at 8 kHz whose BODY declares more than the 30 frames it holds.
    {"SvxShorterThanDeclared",
     bytes("FORM" + be(0, 4) + "8SVXVHDR" + be(20, 4) + std::string(12, '\0') + be(8000, 2) +
           std::string(6, '\0') + "BODY" + be(99, 4) + std::string(30, 'x')),
     "", 82, 83},
    // STREAMINFO claiming fewer samples than the stream holds overran
    // SDL_mixer's buffer; libsndfile plays the samples it claims.
    {"FlacLongerThanStreamInfo", flacSaying(1000), "", 500, 500},
    {"FlacWithoutSampleCount", flacSaying(0), "", 22050, 22050},
    // Refused before a buffer is made for what it claims.
    {"FlacClaimingDaysOfSound", flacSaying(0xffffffff),
     "decoded sample would be larger than 1 GiB"},
    // STREAMINFO alone, at 0 Hz, mono: SDL_mixer crashed converting no frames.
    {"FlacRate0WithoutFrames",
     bytes("fLaC\x80" + be(34, 3) + be(0x1000100000000000, 8) + std::string(26, '\0')),
     "File contains data in an unimplemented format."},
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

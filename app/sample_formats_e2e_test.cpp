// Samples as users have them: files made by other programs, not by these
// tests' own WAV writer. The WAV files of Debian's alsa-utils, the Ogg
// Vorbis sounds of sound-theme-freedesktop, FLAC files encoded here by the
// flac tool, and MP3 files encoded by lame, which SDL_mixer 1.2 does not
// read and which must be refused with SDL's reason.
//
// Each file is checked twice: velumora-check must load it and print its
// length, and velumora-render must make it heard for that long and no
// longer. A file's true length is read from its own headers.
//
// Classic SDL 1.2 converts sample rates only by factors of two, so a file
// whose rate is not 22050 Hz times a power of two plays at the nearest such
// rate: a 48 kHz file lasts 48000/44100 times longer and sounds lower by as
// much. sdl12-compat resamples exactly. The expected lengths follow the
// library under test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "testing/host.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/velumora_run.h"
#include "testing/wav.h"

namespace {

using testkit::kPatience;
using testkit::SdlLibrary;
using testkit::StereoCapture;
using testkit::TempDir;

constexpr int kOutputRate = 22050;         // what velumora opens and velumora-render writes
constexpr double kLengthTolerance = 0.05;  // seconds

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool copyFile(const std::string& from, const std::string& to) {
  const std::string bytes = readFile(from);
  if (bytes.empty()) return false;
  std::ofstream out(to, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

uint32_t le32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

uint16_t le16(const std::string& bytes, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1])
                                                                     << 8);
}

// What a file holds, from its own headers.
struct Length {
  int rate = 0;         // frames per second
  uint64_t frames = 0;  // 0 when the headers could not be read
  double seconds() const { return rate > 0 ? static_cast<double>(frames) / rate : 0.0; }
};

// RIFF WAVE: the fmt chunk's block size and rate, and the data chunk's size.
Length wavLength(const std::string& bytes) {
  Length length;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    return length;
  uint16_t blockAlign = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = le32(bytes, at + 4);
    if (id == "fmt " && at + 8 + 16 <= bytes.size()) {
      length.rate = static_cast<int>(le32(bytes, at + 12));
      blockAlign = le16(bytes, at + 20);
    } else if (id == "data" && blockAlign > 0) {
      length.frames = size / blockAlign;
      return length;
    }
    at += 8 + size + (size & 1);
  }
  length.frames = 0;
  return length;
}

// Ogg Vorbis: the rate from the identification header, the frame count from
// the granule position of the last page.
Length oggVorbisLength(const std::string& bytes) {
  Length length;
  const std::size_t id = bytes.find("\x01vorbis");
  if (bytes.compare(0, 4, "OggS") != 0 || id == std::string::npos || id + 16 > bytes.size())
    return length;
  length.rate = static_cast<int>(le32(bytes, id + 12));
  const std::size_t last = bytes.rfind("OggS");
  if (last + 14 > bytes.size()) return length;
  length.frames = le32(bytes, last + 6) | static_cast<uint64_t>(le32(bytes, last + 10)) << 32;
  return length;
}

// FLAC: STREAMINFO, which the file starts with.
Length flacLength(const std::string& bytes) {
  Length length;
  if (bytes.size() < 26 || bytes.compare(0, 4, "fLaC") != 0) return length;
  auto byte = [&](std::size_t at) {
    return static_cast<uint64_t>(static_cast<uint8_t>(bytes[at]));
  };
  length.rate = static_cast<int>(byte(18) << 12 | byte(19) << 4 | byte(20) >> 4);
  length.frames =
      (byte(21) & 0x0f) << 32 | byte(22) << 24 | byte(23) << 16 | byte(24) << 8 | byte(25);
  return length;
}

Length fileLength(const std::string& path) {
  const std::string bytes = readFile(path);
  if (bytes.compare(0, 4, "RIFF") == 0) return wavLength(bytes);
  if (bytes.compare(0, 4, "OggS") == 0) return oggVorbisLength(bytes);
  if (bytes.compare(0, 4, "fLaC") == 0) return flacLength(bytes);
  return Length();
}

// How many times faster than recorded a file plays once loaded: 1 on
// sdl12-compat; on classic SDL 1.2, (the rate SDL takes it for) / rate.
// SDL doubles or halves the lower of the file's and the output's rates
// while that does not take it past the higher one (comparing in units of
// 100 Hz, as SDL does), converts by that power of two and ignores the rest
// of the ratio: a 48 kHz file is taken for 44.1 kHz, an 8 kHz one for
// 11.025 kHz.
double speedUp(int rate, SdlLibrary library) {
  if (library == SdlLibrary::kCompat || rate / 100 == kOutputRate / 100) return 1.0;
  const bool down = rate > kOutputRate;
  const int high = down ? rate : kOutputRate;
  int low = down ? kOutputRate : rate;
  double factor = 1.0;
  while (low * 2 / 100 <= high / 100) {
    low *= 2;
    factor *= 2.0;
  }
  const double treatedAs = down ? kOutputRate * factor : kOutputRate / factor;
  return treatedAs / rate;
}

// ---------------------------------------------------------------------------
// The samples.

enum class Source {
  kPackaged,    // a file installed by a Debian package
  kFlacStereo,  // a stereo tone encoded by flac here
  kFlacMono,    // a mono tone encoded by flac here
  kMp3,         // a tone encoded by lame here
};

struct SampleCase {
  const char* name;
  Source source;
  const char* path;     // kPackaged: the file
  const char* package;  // where the file or the tool comes from
  int rate;             // encoded tones: their rate
  const char* refusal;  // empty: must load; else SDL's reason for refusing it
};

void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.name; }

constexpr double kToneFrequency = 660.0;
constexpr double kToneSeconds = 1.25;

std::string extensionOf(const SampleCase& c) {
  switch (c.source) {
    case Source::kPackaged: {
      const std::string path = c.path;
      return path.substr(path.rfind('.'));
    }
    case Source::kFlacStereo:
    case Source::kFlacMono:
      return ".flac";
    case Source::kMp3:
      return ".mp3";
  }
  return "";
}

// Why the case cannot run here (its package is not installed), or empty.
std::string missing(const SampleCase& c) {
  if (c.source == Source::kPackaged) {
    if (access(c.path, R_OK) != 0)
      return "needs Debian's " + std::string(c.package) + ": " + c.path + " is absent";
    return "";
  }
  const char* tool = c.source == Source::kMp3 ? "lame" : "flac";
  if (testkit::findProgram(tool).empty())
    return "needs Debian's " + std::string(c.package) + ": no " + tool + " on PATH";
  return "";
}

// Puts the case's file at `target`; the test has failed when it could not.
void makeSample(const SampleCase& c, const TempDir& dir, const std::string& target) {
  if (c.source == Source::kPackaged) {
    EXPECT_TRUE(copyFile(c.path, target));
    return;
  }
  testkit::Tone tone;
  tone.frequency = kToneFrequency;
  tone.seconds = kToneSeconds;
  tone.amplitude = 0.5;
  tone.rate = c.rate;
  tone.channels = c.source == Source::kFlacMono ? 1 : 2;
  const std::string wav = dir.file("tone-source.wav");
  ASSERT_TRUE(testkit::writeToneWav(wav, tone));
  std::string output;
  if (c.source == Source::kMp3) {
    ASSERT_TRUE(testkit::runProgram("lame", {"--quiet", wav, target}, &output)) << output;
    // A real MPEG audio stream (frame sync), not some other refused file.
    const std::string bytes = readFile(target);
    EXPECT_TRUE(bytes.size() > 2 && (bytes.compare(0, 3, "ID3") == 0 ||
                                     (static_cast<uint8_t>(bytes[0]) == 0xff &&
                                      (static_cast<uint8_t>(bytes[1]) & 0xe0) == 0xe0)))
        << "lame wrote no MP3";
  } else {
    ASSERT_TRUE(testkit::runProgram("flac", {"--silent", "--force", "-o", target, wav}, &output))
        << output;
    const Length length = flacLength(readFile(target));
    EXPECT_EQ(length.rate, c.rate);
    EXPECT_EQ(length.frames, static_cast<uint64_t>(std::lround(kToneSeconds * c.rate)));
  }
}

struct Outcome {
  int status = -1;
  std::string output;
};

Outcome runIn(const TempDir& dir, const char* program, const std::vector<std::string>& args) {
  testkit::ProcessOptions options;
  options.program = program;
  options.args = args;
  options.workDir = dir.path();
  testkit::ChildProcess process(options);
  Outcome run;
  if (!process.start()) return run;
  process.closeInput();
  run.status = process.waitForExit(kPatience);
  run.output = process.output() + process.errorOutput();
  return run;
}

// The length velumora-check prints for `name`, or -1.
double printedSeconds(const std::string& output, const std::string& name) {
  const std::string head = "note \"" + name + "\" (";
  const std::size_t at = output.find(head);
  if (at == std::string::npos) return -1.0;
  return std::strtod(output.c_str() + at + head.size(), nullptr);
}

StereoCapture readRenderedWav(const std::string& path) {
  StereoCapture capture;
  capture.rate = kOutputRate;
  const std::string bytes = readFile(path);
  const std::size_t data = bytes.find("data");
  EXPECT_NE(data, std::string::npos) << path;
  if (data == std::string::npos || data + 8 > bytes.size()) return capture;
  EXPECT_EQ(le32(bytes, 24), static_cast<uint32_t>(kOutputRate));
  EXPECT_EQ(le16(bytes, 22), 2);
  const std::size_t frames = (bytes.size() - data - 8) / 4;
  capture.left.resize(frames);
  capture.right.resize(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    capture.left[i] = static_cast<int16_t>(le16(bytes, data + 8 + 4 * i));
    capture.right[i] = static_cast<int16_t>(le16(bytes, data + 8 + 4 * i + 2));
  }
  return capture;
}

// Frames [first, last] between the first and the last sample louder than
// `threshold` in either channel; {0, 0} in silence.
std::pair<std::size_t, std::size_t> soundingSpan(const StereoCapture& capture, int threshold) {
  std::size_t first = capture.frames(), last = 0;
  for (std::size_t i = 0; i < capture.frames(); ++i) {
    if (std::abs(capture.left[i]) > threshold || std::abs(capture.right[i]) > threshold) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first == capture.frames()) return {0, 0};
  return {first, last};
}

class SampleFormats : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleFormats, LoadsWithItsLengthAndIsHeardOrIsRefused) {
  const SampleCase& c = GetParam();
  const SdlLibrary library = testkit::sdlLibrary();
  TempDir dir;
  const std::string reason = missing(c);
  if (!reason.empty()) GTEST_SKIP() << reason;
  const std::string name = std::string("sample") + extensionOf(c);
  makeSample(c, dir, dir.file(name));
  if (HasFailure()) return;
  ASSERT_TRUE(dir.write("playlist.txt", "x=(_main=\"" + name + "\";_param=1,0,0);\n"));

  const Outcome check = runIn(dir, VELUMORA_CHECK_BINARY, {"playlist.txt"});
  if (*c.refusal != '\0') {
    const std::string reason = " : Unable to Open Audio File : \"" + name + "\" : " + c.refusal +
                               "\nError : Note::sound.load() returns false\n";
    EXPECT_EQ(check.status, 1) << check.output;
    EXPECT_NE(check.output.find(reason), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("the playlist would not play\n"), std::string::npos);
    // The player itself refuses to start, with the same reason.
    auto live = testkit::startVelumora(dir, {});
    ASSERT_TRUE(live);
    EXPECT_EQ(live->waitForExit(kPatience), 255) << live->output();
    EXPECT_NE(live->output().find("initializing..." + reason), std::string::npos) << live->output();
    EXPECT_NE(live->output().find("Velumora Initialization Failed\n"), std::string::npos);
    return;
  }

  const Length length = fileLength(dir.file(name));
  ASSERT_GT(length.frames, 0u) << "unreadable headers in " << name;
  const double played = length.seconds() / speedUp(length.rate, library);
  ASSERT_EQ(check.status, 0) << check.output;
  EXPECT_NEAR(printedSeconds(check.output, name), played, kLengthTolerance)
      << "file: " << length.frames << " frames at " << length.rate << " Hz (" << length.seconds()
      << " s) on " << testkit::sdlLibraryName(library) << "\n"
      << check.output;

  // Rendered, it sounds on both sides for about that long and then stops.
  const int seconds = static_cast<int>(std::ceil(played)) + 1;
  const Outcome render =
      runIn(dir, VELUMORA_RENDER_BINARY,
            {"playlist.txt", "out.wav", "--seconds", std::to_string(seconds), "--seed", "1"});
  ASSERT_EQ(render.status, 0) << render.output;
  const StereoCapture capture = readRenderedWav(dir.file("out.wav"));
  ASSERT_EQ(capture.frames(), static_cast<std::size_t>(seconds * kOutputRate));
  EXPECT_GT(testkit::rms(capture.left), 100.0);
  EXPECT_GT(testkit::rms(capture.right), 100.0);
  const auto span = soundingSpan(capture, 64);
  const double end = static_cast<double>(span.second + 1) / kOutputRate;
  // Recorded sounds may begin and end quietly, but nothing may sound after
  // the file's end.
  EXPECT_LE(end, played + kLengthTolerance);

  if (c.source != Source::kPackaged) {
    // The encoded tone, from start to end, at its pitch as this library
    // plays it.
    EXPECT_LT(static_cast<double>(span.first) / kOutputRate, 0.01) << "starts late";
    EXPECT_NEAR(end, played, kLengthTolerance);
    const double heard = kToneFrequency * speedUp(length.rate, library);
    const std::size_t middle = capture.frames() > 0 ? (span.first + span.second) / 2 : 0;
    EXPECT_EQ(testkit::dominantFrequency(capture.left, middle - 2048, 4096, kOutputRate,
                                         {heard, heard * 0.9, heard * 1.1}),
              heard);
    EXPECT_GT(testkit::toneAmplitude(capture.left, middle - 2048, 4096, heard, kOutputRate),
              0.45 * 32767 * 0.9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SampleFormats,
    ::testing::Values(
        // alsa-utils: 16-bit mono WAV at 48 kHz, spoken channel names and noise.
        SampleCase{"AlsaFrontCenter", Source::kPackaged, "/usr/share/sounds/alsa/Front_Center.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaFrontLeft", Source::kPackaged, "/usr/share/sounds/alsa/Front_Left.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaFrontRight", Source::kPackaged, "/usr/share/sounds/alsa/Front_Right.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaRearCenter", Source::kPackaged, "/usr/share/sounds/alsa/Rear_Center.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaRearLeft", Source::kPackaged, "/usr/share/sounds/alsa/Rear_Left.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaRearRight", Source::kPackaged, "/usr/share/sounds/alsa/Rear_Right.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaSideLeft", Source::kPackaged, "/usr/share/sounds/alsa/Side_Left.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaSideRight", Source::kPackaged, "/usr/share/sounds/alsa/Side_Right.wav",
                   "alsa-utils", 0, ""},
        SampleCase{"AlsaNoise", Source::kPackaged, "/usr/share/sounds/alsa/Noise.wav", "alsa-utils",
                   0, ""},
        // sound-theme-freedesktop: Ogg Vorbis at several rates and channel counts.
        SampleCase{"VorbisStereo44k", Source::kPackaged,
                   "/usr/share/sounds/freedesktop/stereo/complete.oga", "sound-theme-freedesktop",
                   0, ""},
        SampleCase{"VorbisMono48k", Source::kPackaged,
                   "/usr/share/sounds/freedesktop/stereo/audio-channel-front-left.oga",
                   "sound-theme-freedesktop", 0, ""},
        SampleCase{"VorbisStereo22k", Source::kPackaged,
                   "/usr/share/sounds/freedesktop/stereo/service-login.oga",
                   "sound-theme-freedesktop", 0, ""},
        SampleCase{"VorbisMono8k", Source::kPackaged,
                   "/usr/share/sounds/freedesktop/stereo/phone-outgoing-busy.oga",
                   "sound-theme-freedesktop", 0, ""},
        SampleCase{"VorbisStereo96k", Source::kPackaged,
                   "/usr/share/sounds/freedesktop/stereo/camera-shutter.oga",
                   "sound-theme-freedesktop", 0, ""},
        // Encoded here by flac: SDL_mixer 1.2 reads 16-bit stereo FLAC only.
        SampleCase{"FlacStereo44k", Source::kFlacStereo, "", "flac", 44100, ""},
        SampleCase{"FlacStereo48k", Source::kFlacStereo, "", "flac", 48000, ""},
        SampleCase{"FlacStereo22k", Source::kFlacStereo, "", "flac", 22050, ""},
        SampleCase{"FlacMonoRefused", Source::kFlacMono, "", "flac", 44100,
                   "Unable to process FLAC file."},
        // Encoded here by lame: MP3 is not a sample format of SDL_mixer 1.2.
        SampleCase{"Mp3Refused", Source::kMp3, "", "lame", 44100, "Unrecognized sound file type"}),
    [](const ::testing::TestParamInfo<SampleCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Played live on SDL's disk driver, one after another on the right: each
// is heard there, in turn, and nothing on the left.

TEST(SampleFormatsLive, PackagedAndEncodedFilesPlayInTurn) {
  const char* wav = "/usr/share/sounds/alsa/Front_Left.wav";
  const char* vorbis = "/usr/share/sounds/freedesktop/stereo/complete.oga";
  for (const auto& [path, package] : {std::pair<const char*, const char*>{wav, "alsa-utils"},
                                      {vorbis, "sound-theme-freedesktop"}}) {
    if (access(path, R_OK) != 0)
      GTEST_SKIP() << "needs Debian's " << package << ": " << path << " is absent";
  }
  if (testkit::findProgram("flac").empty()) GTEST_SKIP() << "needs Debian's flac: not on PATH";

  TempDir dir;
  ASSERT_TRUE(copyFile(wav, dir.file("speech.wav")));
  ASSERT_TRUE(copyFile(vorbis, dir.file("chime.oga")));
  testkit::Tone tone;
  tone.frequency = kToneFrequency;
  tone.seconds = 0.6;
  tone.amplitude = 0.5;
  tone.rate = 44100;
  tone.channels = 2;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tone.wav"), tone));
  std::string output;
  ASSERT_TRUE(testkit::runProgram(
      "flac", {"--silent", "--force", "-o", dir.file("tone.flac"), dir.file("tone.wav")}, &output))
      << output;
  ASSERT_EQ(std::remove(dir.file("tone.wav").c_str()), 0);

  // Each sound has two and a half seconds to itself.
  ASSERT_TRUE(dir.write("playlist.txt",
                        "x=(_main=(\"tone.flac\",2500,\"speech.wav\",2500,\"chime.oga\",2500);"
                        "_param=1,90,0);\n"));
  auto run = testkit::startVelumora(dir, {}, testkit::diskAudioEnv(dir.file("out.raw")));
  ASSERT_TRUE(run);
  ASSERT_TRUE(run->waitForOutput("x done\n", kPatience));
  ASSERT_TRUE(run->write("q\n"));
  ASSERT_EQ(run->waitForExit(kPatience), 0) << run->output();

  const int rate = testkit::diskAudioRate();
  StereoCapture capture;
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("out.raw"), rate, capture));
  ASSERT_GT(capture.frames(), static_cast<std::size_t>(7 * rate)) << "capture too short";
  EXPECT_LT(testkit::peak(capture.left), 100);

  std::size_t start = 0;
  while (start < capture.frames() && std::abs(capture.right[start]) <= 64) ++start;
  auto frame = [&](double seconds) { return start + static_cast<std::size_t>(seconds * rate); };
  ASSERT_LT(frame(7.0), capture.frames()) << "nothing heard, or too late";

  // The tone first, at its pitch and level, for its length.
  EXPECT_EQ(
      testkit::dominantFrequency(capture.right, frame(0.1), frame(0.5) - frame(0.1), rate,
                                 {kToneFrequency, kToneFrequency * 0.9, kToneFrequency * 1.1}),
      kToneFrequency);
  EXPECT_GT(testkit::rms(capture.right, frame(0.1), frame(0.5) - frame(0.1)), 0.5 * 32767 * 0.6);
  EXPECT_LT(testkit::peak(std::vector<int16_t>(capture.right.begin() + frame(0.65),
                                               capture.right.begin() + frame(2.45))),
            64);
  // Then the speech and the chime, each in its turn.
  EXPECT_GT(testkit::rms(capture.right, frame(2.5), frame(3.9) - frame(2.5)), 300.0);
  EXPECT_GT(testkit::rms(capture.right, frame(5.0), frame(6.0) - frame(5.0)), 300.0);
  // The disk driver keeps real time only roughly; a sanitized build is too
  // slow for the quiet gap between the two to stay where the wall clock put it.
  if (!testkit::kSanitizedBuild) {
    EXPECT_LT(testkit::peak(std::vector<int16_t>(capture.right.begin() + frame(4.3),
                                                 capture.right.begin() + frame(4.95))),
              64);
  }
}

}  // namespace

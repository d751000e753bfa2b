#include "audio/wav_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "testing/temp_dir.h"
#include "testing/wav.h"

namespace {

using testkit::le;

TEST(WavWriter, HeaderSaysTheFormatAndTheSizes) {
  // Rate, channels, data bytes, and whether they need RF64.
  for (const auto& [rate, channels, data, rf64] :
       {std::tuple{22050, 1, 0ull, false},
        {44100, 2, 4096ull, false},
        {22050, 1, 0xfffffffeull - 36, false},  // RIFF size 2^32 - 2
        {22050, 2, 0xffffffffull - 39, false},
        {22050, 1, 0xffffffffull - 35, true},
        {22050, 2, 0xffffffffull - 35, true},
        {48000, 6, 6000000000ull, true},
        {22050, 2, 22050ull * 4 * 48696, true}}) {
    SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(data) + " bytes");
    std::vector<uint8_t> h;
    std::string error;
    ASSERT_TRUE(WavWriter::header(rate, channels, data, h, error)) << error;
    const uint64_t frame = 2 * uint64_t(channels);
    const std::string fmt = "fmt " + le(16, 4) + le(1, 2) + le(channels, 2) + le(rate, 4) +
                            le(rate * frame, 4) + le(frame, 2) + le(16, 2) + "data";
    // RF64: the sizes are in ds64, the 32-bit ones say 0xffffffff.
    const std::string expected = rf64 ? "RF64" + le(~0u, 4) + "WAVEds64" + le(28, 4) +
                                            le(72 + data, 8) + le(data, 8) + le(data / frame, 8) +
                                            le(0, 4) + fmt + le(~0u, 4)
                                      : "RIFF" + le(36 + data, 4) + "WAVE" + fmt + le(data, 4);
    EXPECT_EQ(std::string(h.begin(), h.end()), expected);
  }
}

TEST(WavWriter, RefusesBadFormatsAndCountsFrames) {
  std::vector<uint8_t> h;
  std::string error;
  for (auto [rate, channels, bytes] :
       {std::tuple{0, 2, 0ull}, {22050, 0, 0ull}, {22050, 65536, 0ull}, {22050, 2, 6ull}}) {
    EXPECT_FALSE(WavWriter::header(rate, channels, bytes, h, error)) << rate << " " << channels;
  }
  std::string sunk;
  WavWriter w(8000, 2, 3, [&](const void* d, std::size_t n, std::string&) {
    sunk.append(static_cast<const char*>(d), n);
    return true;
  });
  const int16_t frames[] = {1, -2, 0x1234, -32768, 7, 8, 9, 10};
  EXPECT_FALSE(w.writeFrames(frames, 1, error));  // before the header
  ASSERT_TRUE(w.begin(error) && w.writeFrames(frames, 2, error)) << error;
  EXPECT_FALSE(w.complete(error));
  EXPECT_FALSE(w.writeLittleEndian("abcdabcd", 2, error));  // one more than declared
  ASSERT_TRUE(w.writeLittleEndian("abcd", 1, error) && w.complete(error)) << error;
  EXPECT_EQ(sunk.substr(44), std::string("\x01\x00\xfe\xff\x34\x12\x00\x80", 8) + "abcd");
}

TEST(WavWriter, WritesFilesThatLibsndfileReads) {
  testkit::TempDir dir;
  std::string error;
  const std::vector<int16_t> samples = {1, 2, 3, 4, 5, 6};
  // Over a longer file, which is cut to the new one.
  ASSERT_TRUE(
      WavWriter::writeFile(dir.file("a.wav"), 8000, 2, std::vector<int16_t>(99 * 2), error));
  ASSERT_TRUE(WavWriter::writeFile(dir.file("a.wav"), 8000, 2, samples, error)) << error;
  EXPECT_EQ(std::ifstream(dir.file("a.wav"), std::ios::ate).tellg(), 56);
  EXPECT_FALSE(WavWriter::writeFile(dir.file("none/a.wav"), 8000, 2, samples, error));
  EXPECT_EQ(error, "No such file or directory");
  // libsndfile reads an RF64 file of 48,696 s of stereo, sparse: only the
  // header is stored. (sox reads it too, but all 4 GiB of it, slowly.)
  if (std::system("command -v sndfile-info >/dev/null") != 0) GTEST_SKIP() << "no sndfile-info";
  std::vector<uint8_t> h;
  const uint64_t data = 22050ull * 4 * 48696;
  ASSERT_TRUE(WavWriter::header(22050, 2, data, h, error));
  std::ofstream(dir.file("long.wav"), std::ios::binary)
      .write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
  ASSERT_EQ(truncate(dir.file("long.wav").c_str(), static_cast<off_t>(h.size() + data)), 0);
  const std::string info = "sndfile-info " + dir.file("long.wav") + " | grep -cE " +
                           "'^ *(Frames *: 1073746800|Channels *: 2|Data size : 4294987200)$'";
  EXPECT_EQ(std::system((info + " | grep -qx 5").c_str()), 0) << info;
}

}  // namespace

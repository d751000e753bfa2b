#include "audio/wav_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "testing/child.h"
#include "testing/temp_dir.h"

namespace {

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
  // Over a longer file, which is cut to the new one.
  ASSERT_TRUE(
      WavWriter::writeFile(dir.file("a.wav"), 8000, 2, std::vector<int16_t>(99 * 2), error));
  ASSERT_TRUE(WavWriter::writeFile(dir.file("a.wav"), 8000, 2, {1, 2, 3, 4, 5, 6}, error));
  EXPECT_EQ(std::ifstream(dir.file("a.wav"), std::ios::ate).tellg(), 56);
  EXPECT_FALSE(WavWriter::writeFile(dir.file("none/a.wav"), 8000, 2, {}, error));
  EXPECT_EQ(error, "No such file or directory");
  // libsndfile reads every field and says "should be" of any it doubts.
  // RIFF holds up to 4 GiB, RF64 the rest; the large files are sparse,
  // only their headers stored.
  if (std::system("command -v sndfile-info >/dev/null") != 0) GTEST_SKIP() << "no sndfile-info";
  // More than two channels are WAVE_FORMAT_EXTENSIBLE, with their speakers.
  for (const auto& [rate, channels, frames, magic, mask] :
       {std::tuple{8000, 2, 3ull, "RIFF", 0u},
        {22050, 1, (WavWriter::kRf64DataBytes - 1) / 2, "RIFF", 0u},
        {22050, 1, (WavWriter::kRf64DataBytes + 1) / 2, "RF64", 0u},
        {44100, 4, 3ull, "RIFF", 0x33u},
        {48000, 6, 500000000ull, "RF64", 0x3Fu},
        {22050, 2, 22050ull * 48696, "RF64", 0u}}) {
    const std::string path = dir.file(std::to_string(frames) + ".wav");
    std::vector<uint8_t> h;
    ASSERT_TRUE(WavWriter::header(rate, channels, frames * 2 * channels, h, error, mask)) << error;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(h.size() + frames * 2 * channels)), 0);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), magic);
    // ds64's data size and frame count, which libsndfile does not check.
    const auto at = [&h](int offset) {
      unsigned long long value = 0;
      for (int i = 7; i >= 0; --i) value = value << 8 | h[offset + i];
      return value;
    };
    if (h[1] == 'F') {
      EXPECT_EQ(std::pair(at(28), at(36)), std::pair(frames * 2 * channels, frames));
    }
    const std::string info = testkit::runToEnd("/usr/bin/sndfile-info", {path}, "").out;
    for (const std::string& line :
         {"Sample Rate : " + std::to_string(rate), "Frames      : " + std::to_string(frames),
          "Channels    : " + std::to_string(channels)}) {
      EXPECT_NE(info.find("\n" + line + "\n"), std::string::npos) << line << "\n" << info;
    }
    EXPECT_EQ(info.find("should be"), std::string::npos) << info;
    char maskLine[40];
    std::snprintf(maskLine, sizeof maskLine, "Channel Mask  : 0x%X (", mask);
    EXPECT_EQ(info.find(maskLine) != std::string::npos, channels > 2) << info;
  }
}

}  // namespace

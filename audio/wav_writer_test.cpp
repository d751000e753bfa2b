#include "audio/wav_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "testing/temp_dir.h"

namespace {

uint64_t le(const std::vector<uint8_t>& b, std::size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
  return v;
}
std::string text(const std::vector<uint8_t>& b, std::size_t at) {
  return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

struct HeaderCase {
  int rate, channels;
  uint64_t dataBytes;
  bool rf64;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.channels << "ch " << c.dataBytes; }

class WavHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(WavHeader, ReadsBack) {
  const HeaderCase c = GetParam();
  std::vector<uint8_t> h;
  std::string error;
  ASSERT_TRUE(WavWriter::header(c.rate, c.channels, c.dataBytes, h, error)) << error;
  ASSERT_EQ(h.size(), c.rf64 ? WavWriter::kRf64HeaderBytes : WavWriter::kRiffHeaderBytes);
  const std::size_t f = c.rf64 ? 36 : 0;  // ds64 comes before "fmt "
  EXPECT_EQ(text(h, 0) + text(h, 8) + text(h, 12) + text(h, 12 + f) + text(h, 36 + f),
            c.rf64 ? "RF64WAVEds64fmt data" : "RIFFWAVEfmt fmt data");
  const uint64_t d = c.dataBytes, ch = uint64_t(c.channels), rate = uint64_t(c.rate);
  // Triples of offset, width in bytes and value.
  std::vector<uint64_t> fields = {16 + f, 4,      16,     20 + f, 2,      1, 22 + f,        2,
                                  ch,     24 + f, 4,      rate,   28 + f, 4, rate * ch * 2, 32 + f,
                                  2,      ch * 2, 34 + f, 2,      16};
  if (c.rf64) {
    fields.insert(fields.end(), {4,  4, 0xffffffff,   16, 4, 28, 20, 8, 72 + d,    28, 8, d,
                                 36, 8, d / (2 * ch), 44, 4, 0,  76, 4, 0xffffffff});
  } else {
    fields.insert(fields.end(), {4, 4, 36 + d, 40, 4, d});
  }
  for (std::size_t i = 0; i < fields.size(); i += 3)
    EXPECT_EQ(le(h, fields[i], int(fields[i + 1])), fields[i + 2]) << "at " << fields[i];
}

INSTANTIATE_TEST_SUITE_P(
    Audio, WavHeader,
    ::testing::Values(HeaderCase{22050, 1, 0, false}, HeaderCase{44100, 2, 4096, false},
                      HeaderCase{22050, 1, 0xfffffffeull - 36, false},  // RIFF size 2^32 - 2
                      HeaderCase{22050, 2, 0xffffffffull - 39, false},
                      HeaderCase{22050, 1, 0xffffffffull - 35, true},
                      HeaderCase{22050, 2, 0xffffffffull - 35, true},
                      HeaderCase{48000, 6, 6000000000ull, true},
                      HeaderCase{22050, 2, 22050ull * 4 * 48696, true}));

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

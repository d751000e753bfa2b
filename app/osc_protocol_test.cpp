// OSC packets as a lighting desk or a phone sends them, made with liblo:
// what each asks of the controller, the status answer, and what is ignored.

#include "app/osc_protocol.h"

#include <gtest/gtest.h>
#include <lo/lo.h>

#include <cstring>

#include "app/controller.h"
#include "pattern/song_gains.h"
#include "testing/fakes.h"

// Named, so that nothing here meets a helper of another test in a unity
// build.
namespace osc_protocol_test {
namespace {

// A message with the given arguments: "f0.5", "i1", "s...", "T", "F", "d2".
std::string message(const char* path, const std::vector<std::string>& args = {}) {
  lo_message m = lo_message_new();
  for (const std::string& arg : args) {
    const std::string value = arg.substr(1);
    switch (arg[0]) {
      case 'f':
        lo_message_add_float(m, std::stof(value));
        break;
      case 'd':
        lo_message_add_double(m, std::stod(value));
        break;
      case 'i':
        lo_message_add_int32(m, std::stoi(value));
        break;
      case 's':
        lo_message_add_string(m, value.c_str());
        break;
      case 'T':
        lo_message_add_true(m);
        break;
      case 'F':
        lo_message_add_false(m);
        break;
    }
  }
  std::size_t size = 0;
  void* bytes = lo_message_serialise(m, path, nullptr, &size);
  std::string out(static_cast<char*>(bytes), size);
  std::free(bytes);
  lo_message_free(m);
  return out;
}

std::string bigEndian(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (24 - 8 * i));
  return out;
}

// Argument i, read where liblo put it (four bytes apart, not aligned for
// lo_arg's eight-byte members).
template <typename T>
T argument(lo_message message, int i) {
  T value;
  std::memcpy(&value, lo_message_get_argv(message)[i], sizeof value);
  return value;
}
const char* text(lo_message message, int i) {
  return reinterpret_cast<const char*>(lo_message_get_argv(message)[i]);
}

// A bundle of the given elements, to be carried out at once.
std::string bundle(const std::vector<std::string>& elements) {
  std::string out("#bundle\0", 8);
  out += std::string("\0\0\0\0\0\0\0\1", 8);
  for (const std::string& element : elements) out += bigEndian(element.size()) + element;
  return out;
}

class OscProtocolTest : public ::testing::Test {
 protected:
  OscProtocolTest() { controller_.setSongs({"rain", "wind", "drops"}); }

  // Handles the packet; what it printed.
  std::string handle(const std::string& packet) {
    testkit::StdoutCapture out;
    replies_.clear();
    complaints_.clear();
    protocol_.handle(reinterpret_cast<const uint8_t*>(packet.data()), packet.size(), replies_,
                     complaints_);
    return out.text();
  }

  testkit::FakeMixer mixer_;
  SongGains gains_;
  Controller controller_{mixer_, gains_, 1.0};
  OscProtocol protocol_{controller_};
  std::vector<std::string> replies_, complaints_;
};

TEST_F(OscProtocolTest, EachAddressIsItsCommand) {
  const struct {
    std::string packet;
    std::string printed;
  } cases[] = {
      {message("/velumora/pause"), "paused\n"},
      // A button's press and release.
      {message("/velumora/play", {"f1"}) + "", "playing\n"},
      {message("/velumora/volume", {"f0.5"}), "volume 50%\n"},
      {message("/velumora/volume", {"i2"}), "volume 200%\n"},
      {message("/velumora/volume", {"d0.25"}), "volume 25%\n"},
      {message("/velumora/song/wind/volume", {"f0.75"}), "song \"wind\" volume 75%\n"},
      {message("/velumora/song/rain/mute", {"i1"}), "song \"rain\" muted\n"},
      {message("/velumora/song/rain/mute", {"F"}), "song \"rain\" unmuted\n"},
      // A pattern: every song whose name it matches.
      {message("/velumora/song/*/mute", {"T"}),
       "song \"rain\" muted\nsong \"wind\" muted\nsong \"drops\" muted\n"},
      {message("/velumora/song/{rain,drops}/mute", {"i0"}),
       "song \"rain\" unmuted\nsong \"drops\" unmuted\n"},
      {bundle({message("/velumora/pause"), bundle({message("/velumora/volume", {"f1"})})}),
       "paused\nvolume 100%\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(handle(c.packet), c.printed) << c.packet.substr(0, 30);
    EXPECT_TRUE(complaints_.empty()) << complaints_[0];
  }
  EXPECT_EQ(handle(message("/velumora/quit")), "quit: ending\n");
  EXPECT_TRUE(controller_.takeQuit());
}

TEST_F(OscProtocolTest, StatusIsAnsweredWithTheMixAndEverySong) {
  handle(message("/velumora/song/wind/volume", {"f0.5"}) + "");
  handle(message("/velumora/song/drops/mute", {"i1"}));
  handle(message("/velumora/pause"));
  EXPECT_EQ(handle(message("/velumora/status")), "");
  ASSERT_EQ(replies_.size(), 4u);
  const auto read = [](std::string reply, std::string& path) {
    path = reply.c_str();
    int result = 0;
    return lo_message_deserialise(reply.data(), reply.size(), &result);
  };
  std::string path;
  lo_message mix = read(replies_[0], path);
  ASSERT_NE(mix, nullptr);
  EXPECT_EQ(path, "/velumora/status");
  EXPECT_STREQ(lo_message_get_types(mix), "sfi");
  EXPECT_STREQ(text(mix, 0), "paused");
  EXPECT_EQ(argument<float>(mix, 1), 1.0f);
  EXPECT_EQ(argument<int32_t>(mix, 2), 3);
  lo_message_free(mix);
  const struct {
    const char* name;
    float volume;
    int muted;
  } songs[] = {{"rain", 1, 0}, {"wind", 0.5, 0}, {"drops", 1, 1}};
  for (int i = 0; i < 3; ++i) {
    lo_message song = read(replies_[1 + i], path);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(path, "/velumora/status/song");
    EXPECT_STREQ(lo_message_get_types(song), "sfi");
    EXPECT_STREQ(text(song, 0), songs[i].name);
    EXPECT_EQ(argument<float>(song, 1), songs[i].volume);
    EXPECT_EQ(argument<int32_t>(song, 2), songs[i].muted);
    lo_message_free(song);
  }
}

TEST_F(OscProtocolTest, IgnoresWhatItDoesNotKnowAndSaysWhat) {
  std::string truncated = message("/velumora/volume", {"f0.5"});
  truncated.resize(truncated.size() - 2);
  std::string tooDeep = message("/velumora/pause");
  for (int i = 0; i < 10; ++i) tooDeep = bundle({tooDeep});
  std::string wrongSize = bundle({message("/velumora/pause")});
  wrongSize[19] = 100;
  const struct {
    std::string packet;
    std::string complaint;
  } cases[] = {
      {"", "a malformed message"},
      {"hello", "a malformed message"},
      {truncated, "a malformed message"},
      {std::string("#bundle\0", 8), "a malformed bundle"},
      {wrongSize, "a malformed bundle"},
      {tooDeep, "a bundle nested too deep"},
      {message("/other/pause"), "unknown address /other/pause"},
      {message("/velumora/stop"), "unknown address /velumora/stop"},
      {message("/velumora/song/rain/pan", {"f1"}), "unknown address /velumora/song/rain/pan"},
      {message("/velumora/song/volume", {"f1"}), "unknown address /velumora/song/volume"},
      {message("/velumora/volume"), "/velumora/volume needs one level from 0 to 4"},
      {message("/velumora/volume", {"f5"}), "/velumora/volume needs one level from 0 to 4"},
      {message("/velumora/volume", {"snan"}), "/velumora/volume needs one level from 0 to 4"},
      {message("/velumora/volume", {"f1", "f1"}), "/velumora/volume needs one level from 0 to 4"},
      {message("/velumora/song/rain/mute", {"sx"}), "/velumora/song/rain/mute needs 1 (mute) or 0"},
      {message("/velumora/song/rian/mute", {"i1"}), "no song is named rian"},
      // More stars than a person writes: a name, which no song has.
      {message("/velumora/song/*?*?*?*?*?*?*?*?/mute", {"i1"}),
       "no song is named *?*?*?*?*?*?*?*?"},
      {message(("/" + std::string(200, '\x01')).c_str()), "unknown address /???"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(handle(c.packet), "") << c.complaint;
    ASSERT_EQ(complaints_.size(), 1u) << c.complaint;
    EXPECT_EQ(complaints_[0].compare(0, c.complaint.size(), c.complaint), 0) << complaints_[0];
    EXPECT_TRUE(replies_.empty());
  }
  EXPECT_FALSE(controller_.state().paused);
}

}  // namespace
}  // namespace osc_protocol_test

// OSC packets as a lighting desk or a phone sends them, made with liblo:
// what each asks of the controller, the status answer, and what is ignored.

#include "app/osc_protocol.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <lo/lo.h>

#include <cstring>

#include "app/controller.h"
#include "pattern/song_gains.h"
#include "testing/fakes.h"
#include "testing/osc.h"

// Named, so that no helper here meets another test's in a unity build.
namespace osc_protocol_test {
namespace {

using testkit::oscMessage;

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
  std::string out("#bundle\0\0\0\0\0\0\0\0\1", 16);
  for (const std::string& element : elements) {
    const uint32_t size = htonl(static_cast<uint32_t>(element.size()));
    out += std::string(reinterpret_cast<const char*>(&size), 4) + element;
  }
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
      {oscMessage("/velumora/pause"), "paused\n"},
      // A button's press and release.
      {oscMessage("/velumora/play", {"f1"}) + "", "playing\n"},
      {oscMessage("/velumora/volume", {"f0.5"}), "volume 50%\n"},
      {oscMessage("/velumora/volume", {"i2"}), "volume 200%\n"},
      {oscMessage("/velumora/volume", {"d0.25"}), "volume 25%\n"},
      {oscMessage("/velumora/song/wind/volume", {"f0.75"}), "song \"wind\" volume 75%\n"},
      {oscMessage("/velumora/song/rain/mute", {"i1"}), "song \"rain\" muted\n"},
      {oscMessage("/velumora/song/rain/mute", {"F"}), "song \"rain\" unmuted\n"},
      // A pattern: every song whose name it matches.
      {oscMessage("/velumora/song/*/mute", {"T"}),
       "song \"rain\" muted\nsong \"wind\" muted\nsong \"drops\" muted\n"},
      {oscMessage("/velumora/song/{rain,drops}/mute", {"i0"}),
       "song \"rain\" unmuted\nsong \"drops\" unmuted\n"},
      {bundle({oscMessage("/velumora/pause"), bundle({oscMessage("/velumora/volume", {"f1"})})}),
       "paused\nvolume 100%\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(handle(c.packet), c.printed) << c.packet.substr(0, 30);
    EXPECT_TRUE(complaints_.empty()) << complaints_[0];
  }
  EXPECT_EQ(handle(oscMessage("/velumora/quit")), "quit: ending\n");
  EXPECT_TRUE(controller_.takeQuit());
}

TEST_F(OscProtocolTest, StatusIsAnsweredWithTheMixAndEverySong) {
  handle(oscMessage("/velumora/song/wind/volume", {"f0.5"}) + "");
  handle(oscMessage("/velumora/song/drops/mute", {"i1"}));
  handle(oscMessage("/velumora/pause"));
  EXPECT_EQ(handle(oscMessage("/velumora/status")), "");
  ASSERT_EQ(replies_.size(), 4u);
  const auto read = [](std::string reply, std::string& path) {
    path = reply.c_str();
    int result = 0;
    return lo_message_deserialise(reply.data(), reply.size(), &result);
  };
  // The mix, then each song.
  const struct {
    const char* path;
    const char* name;
    float volume;
    int number;
  } answers[] = {{"/velumora/status", "paused", 1, 3},
                 {"/velumora/status/song", "rain", 1, 0},
                 {"/velumora/status/song", "wind", 0.5, 0},
                 {"/velumora/status/song", "drops", 1, 1}};
  for (int i = 0; i < 4; ++i) {
    std::string path;
    lo_message answer = read(replies_[i], path);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(path, answers[i].path);
    EXPECT_STREQ(lo_message_get_types(answer), "sfi");
    EXPECT_STREQ(text(answer, 0), answers[i].name);
    EXPECT_EQ(argument<float>(answer, 1), answers[i].volume);
    EXPECT_EQ(argument<int32_t>(answer, 2), answers[i].number);
    lo_message_free(answer);
  }
}

TEST_F(OscProtocolTest, IgnoresWhatItDoesNotKnowAndSaysWhat) {
  std::string truncated = oscMessage("/velumora/volume", {"f0.5"});
  truncated.resize(truncated.size() - 2);
  std::string tooDeep = oscMessage("/velumora/pause");
  for (int i = 0; i < 10; ++i) tooDeep = bundle({tooDeep});
  std::string wrongSize = bundle({oscMessage("/velumora/pause")});
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
      {oscMessage("/other/pause"), "unknown address /other/pause"},
      {oscMessage("/velumora/stop"), "unknown address /velumora/stop"},
      {oscMessage("/velumora/song/rain/pan", {"f1"}), "unknown address /velumora/song/rain/pan"},
      {oscMessage("/velumora/song/volume", {"f1"}), "unknown address /velumora/song/volume"},
      {oscMessage("/velumora/volume"), "/velumora/volume needs one level from 0 to 4"},
      {oscMessage("/velumora/volume", {"f5"}), "/velumora/volume needs one level from 0 to 4"},
      {oscMessage("/velumora/volume", {"snan"}), "/velumora/volume needs one level from 0 to 4"},
      {oscMessage("/velumora/volume", {"f1", "f1"}),
       "/velumora/volume needs one level from 0 to 4"},
      {oscMessage("/velumora/song/rain/mute", {"sx"}),
       "/velumora/song/rain/mute needs 1 (mute) or 0"},
      {oscMessage("/velumora/song/rian/mute", {"i1"}), "no song is named rian"},
      // More stars than a person writes: a name, which no song has.
      {oscMessage("/velumora/song/*?*?*?*?*?*?*?*?/mute", {"i1"}),
       "no song is named *?*?*?*?*?*?*?*?"},
      {oscMessage(("/" + std::string(200, '\x01')).c_str()), "unknown address /???"},
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

// Control while it plays, as a user meets it: OSC from oscsend on loopback
// and media keys through playerctl on a private session bus (dbus-daemon);
// what the disk driver recorded against velumora-render with and without
// the session's control script.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <lo/lo.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/control_script.h"
#include "testing/child.h"
#include "testing/osc.h"
#include "testing/temp_dir.h"
#include "testing/wav.h"

// Named, so that no helper here meets another test's in a unity build.
namespace control_e2e {
namespace {

using testkit::Child;
using testkit::StereoCapture;
using testkit::TempDir;
using testkit::Tone;

constexpr char kOscSend[] = "/usr/bin/oscsend";
constexpr char kPlayerctl[] = "/usr/bin/playerctl";
constexpr char kDbusDaemon[] = "/usr/bin/dbus-daemon";

// Sample for sample only where the build plays so (as sound_e2e_test.cpp).
bool exact() { return !testkit::onCompat() && !testkit::kSanitized; }

bool installed(const char* program) { return access(program, X_OK) == 0; }

sockaddr_in loopback(uint16_t port = 0) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// A UDP port of 127.0.0.1 that nothing uses now.
std::string freePort() {
  const int probe = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = loopback();
  socklen_t size = sizeof address;
  bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  return std::to_string(ntohs(address.sin_port));
}

std::size_t firstSound(const StereoCapture& capture) {
  std::size_t i = 0;
  while (i < capture.frames() && capture.left[i] == 0 && capture.right[i] == 0) ++i;
  return i;
}

// Frames of the render that a script line falls on.
std::vector<uint64_t> scriptFrames(const std::string& path, std::vector<std::string>& commands) {
  ControlScript script;
  std::string error;
  EXPECT_TRUE(script.read(path, error)) << error;
  std::vector<uint64_t> frames;
  for (const auto& line : script.lines()) {
    frames.push_back(ControlScript::frameOf(line, 22050, 512));
    commands.push_back(line.command.text());
  }
  return frames;
}

// Renders p.txt with args, as r.wav with the control script and as
// plain.wav without; what the render with it printed.
void renderWithAndWithout(TempDir& dir, const std::string& script,
                          const std::vector<std::string>& args, StereoCapture& rendered,
                          StereoCapture& plain, std::string& printed) {
  for (const std::string& with : {script, std::string()}) {
    std::vector<std::string> all = {"p.txt", with.empty() ? "plain.wav" : "r.wav"};
    all.insert(all.end(), args.begin(), args.end());
    if (!with.empty()) all.insert(all.end(), {"--control", with});
    const auto render = testkit::runToEnd(testkit::kRender, all, dir.path());
    ASSERT_EQ(render.status, 0) << render.out;
    if (!with.empty()) printed = render.out;
  }
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("r.wav"), rendered, 44));
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("plain.wav"), plain, 44));
}

// Frames of a from aFrom on that differ from b's from bFrom on; the right
// side only when asked too.
std::size_t differing(const StereoCapture& a, std::size_t aFrom, const StereoCapture& b,
                      std::size_t bFrom, std::size_t count, bool right = true) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < count; ++i) {
    n += a.left[aFrom + i] != b.left[bFrom + i] ||
         (right && a.right[aFrom + i] != b.right[bFrom + i]);
  }
  return n;
}

double ratio(const std::vector<int16_t>& a, std::size_t from, const std::vector<int16_t>& b,
             std::size_t bFrom, std::size_t count) {
  return testkit::rms(a, from, count) / testkit::rms(b, bFrom, count);
}

TEST(Control, APauseAndLevelsFallOnTheirFramesAndRenderAsPlayed) {
  if (!installed(kOscSend)) GTEST_SKIP() << "oscsend (liblo-tools) is not installed";
  TempDir dir;
  // A tone on the left, ticks on the right: each song on its own side.
  ASSERT_TRUE(testkit::writeToneWav(dir.file("hum.wav"), Tone{440, 0.45, 0.3}));
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tick.wav"), Tone{2000, 0.05, 0.3}));
  ASSERT_TRUE(dir.write("p.txt",
                        "hum=(_main=(\"hum.wav\",500);_param=_infinite,270,0);"
                        "tick=(_main=(\"tick.wav\",250);_param=_infinite,90,0);"));
  const std::string port = freePort();
  Child live(testkit::kVelumora,
             {"--seed", "5", "--no-mpris", "--osc", port, "--record-control", "rec.txt", "p.txt"},
             dir.path(), testkit::diskEnv(dir.file("live.raw")));
  ASSERT_TRUE(live.waitFor("playing infinite time(s) of \"tick\"\n"));
  const auto send = [&](std::vector<std::string> args, int thenMs) {
    args.insert(args.begin(), {"127.0.0.1", port});
    EXPECT_EQ(testkit::runToEnd(kOscSend, args, dir.path()).status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(thenMs));
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  send({"/velumora/pause"}, 2000);
  send({"/velumora/play"}, 400);
  send({"/velumora/song/tick/mute", "i", "1"}, 400);
  send({"/velumora/volume", "f", "0.5"}, 0);
  send({"/velumora/song/hum/volume", "f", "0.25"}, 400);
  send({"/velumora/song/tick/mute", "i", "0"}, 500);
  live.write("q\n");
  EXPECT_EQ(live.wait(), 0);
  EXPECT_NE(live.out().find("\npaused\nplaying\nsong \"tick\" muted\nvolume 50%\n"
                            "song \"hum\" volume 25%\nsong \"tick\" unmuted\n"
                            "terminating all threads...\n"),
            std::string::npos)
      << live.out();

  std::vector<std::string> commands;
  const std::vector<uint64_t> at = scriptFrames(dir.file("rec.txt"), commands);
  ASSERT_EQ(commands, (std::vector<std::string>{"pause", "play", "song tick mute 1", "volume 0.5",
                                                "song hum volume 0.25", "song tick mute 0"}));
  // The device's buffers played while paused: two seconds of the wall
  // clock, fewer when the disk driver falls behind on a loaded machine.
  const uint64_t paused = at[1] - at[0];
  EXPECT_GT(paused, 22050u);
  EXPECT_LT(paused, 3 * 22050u);
  EXPECT_EQ(paused % 512, 0u);

  StereoCapture heard, rendered, plain;
  std::string printed;
  ASSERT_NO_FATAL_FAILURE(renderWithAndWithout(dir, "rec.txt", {"--seconds", "6", "--seed", "5"},
                                               rendered, plain, printed));
  ASSERT_TRUE(testkit::readStereoCapture(dir.file("live.raw"), heard));
  // A render begins on the songs' moment 0, where the script's times count
  // from. The render as played: silent while paused, then on as it was, each
  // change on its frame: the frames before are as without it.
  const std::size_t pause = at[0], resume = at[1], mute = at[2], level = at[3], hum = at[4],
                    unmute = at[5];
  ASSERT_LT(unmute + 11025, rendered.frames());
  EXPECT_EQ(differing(rendered, 0, plain, 0, pause), 0u);
  EXPECT_EQ(testkit::rms(rendered.left, pause, paused), 0);
  EXPECT_EQ(testkit::rms(rendered.right, pause, paused), 0);
  // The next note comes exactly as long after as the pause lasted.
  EXPECT_EQ(differing(rendered, resume, plain, resume - paused, mute - resume), 0u);
  // A muted song is silent, while the other plays on as it was.
  EXPECT_EQ(testkit::rms(rendered.right, mute, unmute - mute), 0);
  EXPECT_EQ(differing(rendered, mute, plain, mute - paused, level - mute, false), 0u);
  // The levels change on their frame: half the mix, then a quarter of the
  // hum too.
  if (hum > level) {
    EXPECT_NEAR(ratio(rendered.left, level, plain.left, level - paused, hum - level), 0.5, 0.005);
  }
  EXPECT_NEAR(ratio(rendered.left, hum, plain.left, hum - paused, 11025), 0.125, 0.005);
  // The ticks come back in step, at half the level.
  EXPECT_GT(testkit::rms(rendered.right, unmute, 11025), 100);
  EXPECT_NEAR(ratio(rendered.right, unmute, plain.right, unmute - paused, 11025), 0.5, 0.01);
  std::size_t offBeat = 0;
  for (std::size_t i = unmute; i < unmute + 11025; ++i) {
    offBeat += (rendered.right[i] == 0) != (plain.right[i - paused] == 0);
  }
  EXPECT_LT(offBeat, 20u);

  // What the device played is what the render with the session's script
  // holds, to the sample, up to the last change and a quarter second on.
  if (exact()) {
    ASSERT_GE(firstSound(heard), firstSound(rendered));
    const std::size_t start = firstSound(heard) - firstSound(rendered);
    ASSERT_GE(heard.frames(), start + unmute + 5512);
    EXPECT_EQ(differing(heard, start, rendered, 0, unmute + 5512), 0u);
  }
}

TEST(Control, ARenderPausesOnItsFrameEvenAsANoteBeginsThere) {
  TempDir dir;
  // A tone without a gap: one second, every second.
  ASSERT_TRUE(testkit::writeToneWav(dir.file("hum.wav"), Tone{440, 1.0, 0.3}));
  ASSERT_TRUE(dir.write("p.txt", "s=(_main=(\"hum.wav\",1000);_param=_infinite,0,0);"));
  // Two seconds of pause, to the buffer: it falls on the buffer that begins
  // at 22016, whose first note starts (at 22050) as it is taken, and play
  // comes back at 66560.
  ASSERT_TRUE(dir.write("c.txt", "0.998 pause\n2.998 play\n"));
  StereoCapture rendered, plain;
  std::string printed;
  ASSERT_NO_FATAL_FAILURE(renderWithAndWithout(
      dir, "c.txt", {"--seconds", "4", "--fade-out", "0.5"}, rendered, plain, printed));
  EXPECT_NE(printed.find("\npaused\nplaying\n"), std::string::npos);
  const std::size_t pause = 22016, paused = 66560 - 22016;
  EXPECT_EQ(testkit::rms(rendered.left, pause, paused), 0);
  // As without the pause before it, and after it up to the fade-out.
  EXPECT_EQ(differing(rendered, 0, plain, 0, pause), 0u);
  EXPECT_EQ(differing(rendered, pause + paused, plain, pause, 77175 - pause - paused), 0u);
  // The fade-out ends with the render, though the mix stood still a while.
  EXPECT_GT(testkit::rms(rendered.left, 76000, 1000), 4000);
  EXPECT_LT(testkit::rms(rendered.left, 4 * 22050 - 220, 220), 200);
}

// An OSC socket of the test's own, for the status answer.
class OscClient {
 public:
  OscClient() {
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback();
    bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  ~OscClient() { close(socket_); }

  void send(const std::string& port, const std::string& packet) {
    const sockaddr_in to = loopback(static_cast<uint16_t>(std::stoi(port)));
    sendto(socket_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
  }
  // The first string of the next packet whose path is path, or "" after a
  // while.
  std::string answer(const char* path) {
    char buffer[65536];
    pollfd ready = {socket_, POLLIN, 0};
    while (poll(&ready, 1, testkit::kPatienceMs) == 1) {
      const ssize_t got = recv(socket_, buffer, sizeof buffer, 0);
      if (got <= 0 || std::string(buffer) != path) continue;
      int result = 0;
      lo_message read = lo_message_deserialise(buffer, static_cast<std::size_t>(got), &result);
      if (read == nullptr) return "";
      std::string first = lo_message_get_types(read)[0] == 's'
                              ? reinterpret_cast<const char*>(lo_message_get_argv(read)[0])
                              : "";
      lo_message_free(read);
      return first;
    }
    return "";
  }

 private:
  int socket_ = -1;
};

TEST(Control, MediaKeysAndOscReachThePlayerOnTheSessionBus) {
  for (const char* tool : {kPlayerctl, kDbusDaemon}) {
    if (!installed(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  TempDir dir;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("hum.wav"), Tone{440, 0.2, 0.3}));
  ASSERT_TRUE(dir.write("p.txt",
                        "a=(_main=(\"hum.wav\",500);_param=_infinite,0,100);"
                        "b=(_main=(\"hum.wav\",700);_param=_infinite,0,100);"));
  // Without a session bus the player plays as ever and says nothing of it.
  ASSERT_TRUE(dir.write("playlist.txt", ""));
  const auto alone = testkit::runToEnd(
      testkit::kVelumora, {}, dir.path(),
      {"SDL_AUDIODRIVER=dummy", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"}, "q\n");
  EXPECT_EQ(alone.status, 0);
  EXPECT_EQ(alone.out, testkit::kStarted + testkit::shutdownLines(0));
  EXPECT_EQ(alone.err, "");

  // A private session bus, for this test alone.
  Child bus(kDbusDaemon, {"--session", "--nofork", "--print-address=1"}, dir.path());
  ASSERT_TRUE(bus.waitFor("\n"));
  const std::string address = bus.out().substr(0, bus.out().find('\n'));
  const std::vector<std::string> env = {"SDL_AUDIODRIVER=dummy",
                                        "DBUS_SESSION_BUS_ADDRESS=" + address};
  const auto tool = [&](const char* program, const std::vector<std::string>& args) {
    return testkit::runToEnd(program, args, dir.path(), env).out;
  };
  // Whether playerctl lists the player (MPRIS names without their prefix).
  const auto onTheBus = [&](const std::string& name, int tries = 200) {
    while (tries-- > 0) {
      if (("\n" + tool(kPlayerctl, {"--list-all"})).find("\n" + name + "\n") != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  };
  const std::string port = freePort();
  const auto began = std::chrono::steady_clock::now();
  Child player(testkit::kVelumora, {"--sleep", "3", "--fade-out", "0.1", "--osc", port, "p.txt"},
               dir.path(), env);
  ASSERT_TRUE(player.waitFor(testkit::kStarted));
  ASSERT_TRUE(onTheBus("velumora"));
  const auto ask = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "--player=velumora");
    return tool(kPlayerctl, args);
  };
  EXPECT_EQ(ask({"status"}), "Playing\n");
  EXPECT_EQ(ask({"metadata", "xesam:title"}), "p.txt\n");
  EXPECT_EQ(ask({"metadata", "velumora:songs"}), "2\n");
  // Changes made through any door are signalled to those who follow.
  Child follow(kPlayerctl, {"--player=velumora", "--follow", "status"}, dir.path(), env);
  ASSERT_TRUE(follow.waitFor("Playing\n"));

  // A media key pauses; the sleep timer stands still meanwhile.
  ask({"play-pause"});
  ASSERT_TRUE(player.waitFor("paused\n"));
  const auto pausedAt = std::chrono::steady_clock::now();
  EXPECT_TRUE(follow.waitFor("Playing\nPaused\n"));
  OscClient osc;
  osc.send(port, testkit::oscMessage("/velumora/status"));
  EXPECT_EQ(osc.answer("/velumora/status"), "paused");
  // Malformed and unknown packets: ignored, with one line on standard error.
  for (int i = 0; i < 20; ++i) osc.send(port, i % 2 ? "garbage" : testkit::oscMessage("/x"));
  osc.send(port, testkit::oscMessage("/velumora/status"));
  EXPECT_EQ(osc.answer("/velumora/status"), "paused");
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  osc.send(port, testkit::oscMessage("/velumora/play"));
  const auto pausedFor = std::chrono::steady_clock::now() - pausedAt;
  ASSERT_TRUE(player.waitFor("paused\nplaying\n"));
  EXPECT_TRUE(follow.waitFor("Playing\nPaused\nPlaying\n"));
  ask({"volume", "0.6"});
  EXPECT_TRUE(player.waitFor("playing\nvolume 60%\n"));
  EXPECT_EQ(ask({"volume"}), "0.600000\n");

  // Another player takes the name with its process id, and ends by Quit;
  // one with --no-mpris takes none.
  Child second(testkit::kVelumora, {"--no-mpris", "p.txt"}, dir.path(), env);
  ASSERT_TRUE(second.waitFor(testkit::kStarted));
  Child third(testkit::kVelumora, {"--fade-out", "5", "p.txt"}, dir.path(), env);
  const std::string instance = "velumora.instance";
  ASSERT_TRUE(onTheBus(instance + std::to_string(third.pid())));
  EXPECT_FALSE(onTheBus(instance + std::to_string(second.pid()), 1)) << "--no-mpris";
  // Stop ends the player, as Quit does; paused, with nothing to fade.
  const std::string thirdPlayer = "--player=" + instance + std::to_string(third.pid());
  tool(kPlayerctl, {thirdPlayer, "pause"});
  ASSERT_TRUE(third.waitFor("paused\n"));
  const auto stopped = std::chrono::steady_clock::now();
  tool(kPlayerctl, {thirdPlayer, "stop"});
  EXPECT_EQ(third.wait(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
  EXPECT_NE(third.out().find("paused\nquit: ending\nterminating all threads...\n"),
            std::string::npos)
      << third.out();
  second.write("q\n");
  EXPECT_EQ(second.wait(), 0);

  // The first ends by its sleep timer, three seconds of playing after it
  // began.
  EXPECT_EQ(player.wait(), 0);
  const auto lasted = std::chrono::steady_clock::now() - began;
  EXPECT_GE(lasted, std::chrono::seconds(3) + pausedFor);
  EXPECT_NE(player.out().find("volume 60%\nsleep timer: ending\n"), std::string::npos)
      << player.out();
  const std::string err = player.err();
  EXPECT_EQ(err.find("velumora: OSC: ignored "), 0u) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

}  // namespace
}  // namespace control_e2e

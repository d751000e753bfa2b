// Playing through a real sound server. Each test starts a private
// PulseAudio server whose only sink is a null sink, records that sink's
// monitor with parec while velumora plays on SDL's pulse driver, and checks
// what the server was given: the song's tone, on its side only.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "testing/host.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "testing/velumora_run.h"
#include "testing/wav.h"

namespace {

using testkit::ChildProcess;
using testkit::kPatience;
using testkit::StereoCapture;
using testkit::TempDir;

constexpr int kCaptureRate = 22050;
constexpr double kToneFrequency = 1000.0;
constexpr double kToneAmplitude = 0.5;  // of full scale
constexpr char kSink[] = "velumora_test";

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

double fileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) : 0.0;
}

// A PulseAudio server of the test's own, in the test's directory: its
// runtime directory, socket and home are there, it loads nothing but a null
// sink and the socket protocol, and it ends with the object.
class SoundServer {
 public:
  explicit SoundServer(const TempDir& dir)
      : home_(dir.file("home")), runtime_(dir.file("runtime")), socket_(runtime_ + "/native") {}

  ~SoundServer() {
    if (server_ && server_->running()) {
      server_->sendSignal(SIGTERM);
      server_->waitForExit(kPatience);
    }
  }

  // Starts it and waits until it answers; the test has failed when it could not.
  void start() {
    ASSERT_EQ(mkdir(home_.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(runtime_.c_str(), 0700), 0);
    testkit::ProcessOptions options;
    options.program = testkit::findProgram("pulseaudio");
    // -n: no configuration script, only the modules loaded here. A server
    // of root's own (not --system) needs nothing set up on the machine.
    options.args = {"-n",
                    "--daemonize=no",
                    "--use-pid-file=no",
                    "--exit-idle-time=-1",
                    "--realtime=no",
                    "--high-priority=no",
                    "--no-cpu-limit=yes",
                    "--log-target=stderr",
                    "--log-level=error",
                    "-L",
                    std::string("module-null-sink sink_name=") + kSink + " rate=44100 channels=2",
                    "-L",
                    "module-native-protocol-unix auth-anonymous=1 socket=" + socket_};
    options.env = env();
    server_ = std::make_unique<ChildProcess>(options);
    ASSERT_TRUE(server_->start());
    server_->closeInput();
    const auto deadline = ChildProcess::Clock::now() + kPatience;
    while (!exists(socket_)) {
      ASSERT_TRUE(server_->stillRunningAfter(std::chrono::milliseconds(50)))
          << "pulseaudio ended: " << server_->errorOutput();
      ASSERT_LT(ChildProcess::Clock::now(), deadline)
          << "pulseaudio made no socket: " << server_->errorOutput();
    }
  }

  // What a client needs to find this server and no other.
  std::vector<std::string> env() const {
    return {"PULSE_SERVER=unix:" + socket_, "HOME=" + home_, "XDG_RUNTIME_DIR=" + runtime_,
            "PULSE_RUNTIME_PATH=" + runtime_};
  }

  // pactl's output, or "" (and a test failure) when it fails.
  std::string control(const std::vector<std::string>& args) const {
    testkit::ProcessOptions options;
    options.program = testkit::findProgram("pactl");
    options.args = args;
    options.env = env();
    ChildProcess pactl(options);
    if (!pactl.start()) return "";
    pactl.closeInput();
    EXPECT_EQ(pactl.waitForExit(kPatience), 0) << pactl.errorOutput();
    return pactl.output();
  }

  const ChildProcess* process() const { return server_.get(); }

 private:
  std::string home_;
  std::string runtime_;
  std::string socket_;
  std::unique_ptr<ChildProcess> server_;
};

struct SideCase {
  const char* name;
  int angle;
  bool right;  // heard on the right (else on the left)
};

void PrintTo(const SideCase& c, std::ostream* os) { *os << c.name; }

class PulseServer : public ::testing::TestWithParam<SideCase> {};

TEST_P(PulseServer, SongIsHeardOnItsSide) {
  const SideCase& c = GetParam();
  for (const char* program : {"pulseaudio", "parec", "pactl"}) {
    if (testkit::findProgram(program).empty())
      GTEST_SKIP() << "needs Debian's pulseaudio and pulseaudio-utils: no " << program
                   << " on PATH";
  }
  TempDir dir;
  SoundServer server(dir);
  server.start();
  if (HasFatalFailure()) return;

  // Record everything the sink plays, from before the song starts.
  testkit::ProcessOptions record;
  record.program = testkit::findProgram("parec");
  record.args = {std::string("--device=") + kSink + ".monitor",
                 "--format=s16le",
                 "--rate=" + std::to_string(kCaptureRate),
                 "--channels=2",
                 "--raw",
                 "--latency-msec=50",
                 dir.file("capture.raw")};
  record.env = server.env();
  ChildProcess parec(record);
  ASSERT_TRUE(parec.start());
  parec.closeInput();
  const auto deadline = ChildProcess::Clock::now() + 2 * kPatience;
  while (server.control({"list", "short", "source-outputs"}).empty()) {
    ASSERT_TRUE(parec.stillRunningAfter(std::chrono::milliseconds(50)))
        << "parec ended: " << parec.errorOutput();
    ASSERT_LT(ChildProcess::Clock::now(), deadline) << "parec never connected";
  }
  // A null sink with no client renders in blocks of two seconds, and a
  // stream that joins waits for the block under way to end: a player that
  // joined then would stall while its songs keep time, and its sounds would
  // pile up. parec's short latency shortens the blocks once the current
  // one ends, which is when recorded data first arrives.
  const std::string capturePath = dir.file("capture.raw");
  constexpr double kBytesPerSecond = kCaptureRate * 4.0;
  while (fileSize(capturePath) == 0) {
    ASSERT_TRUE(parec.stillRunningAfter(std::chrono::milliseconds(20)))
        << "parec ended: " << parec.errorOutput();
    ASSERT_LT(ChildProcess::Clock::now(), deadline) << "parec recorded nothing";
  }
  parec.stillRunningAfter(std::chrono::milliseconds(200));
  const double before = fileSize(capturePath);
  const auto recording = ChildProcess::Clock::now();

  testkit::Tone tone;
  tone.frequency = kToneFrequency;
  tone.seconds = 0.4;
  tone.amplitude = kToneAmplitude;
  ASSERT_TRUE(testkit::writeToneWav(dir.file("tone.wav"), tone));
  ASSERT_TRUE(dir.write("playlist.txt", "x=(_main=(\"tone.wav\",700);_param=3," +
                                            std::to_string(c.angle) + ",0);\n"));
  std::vector<std::string> env = server.env();
  env.push_back("SDL_AUDIODRIVER=pulse");
  auto run = testkit::startVelumora(dir, {}, env);
  ASSERT_TRUE(run);
  ASSERT_TRUE(run->waitForOutput(testkit::kStartedLines, kPatience));
  // While it plays, the server has velumora as a client with a stream.
  EXPECT_NE(server.control({"list", "short", "sink-inputs"}), "");
  ASSERT_TRUE(run->waitForOutput("x done\n", kPatience));
  ASSERT_TRUE(run->write("q\n"));
  ASSERT_EQ(run->waitForExit(kPatience), 0) << run->output() << run->errorOutput();
  EXPECT_EQ(run->output().find("Unable to open audio"), std::string::npos);

  // parec drops what it holds when it is stopped: wait until the file
  // covers the whole run.
  const double runSeconds =
      std::chrono::duration<double>(ChildProcess::Clock::now() - recording).count();
  while (fileSize(capturePath) < before + (runSeconds + 0.3) * kBytesPerSecond) {
    ASSERT_TRUE(parec.stillRunningAfter(std::chrono::milliseconds(50)))
        << "parec ended: " << parec.errorOutput();
    ASSERT_LT(ChildProcess::Clock::now(), deadline) << "parec stopped recording";
  }
  ASSERT_TRUE(parec.sendSignal(SIGINT));
  parec.waitForExit(kPatience);
  ASSERT_TRUE(server.process()->running()) << server.process()->errorOutput();

  StereoCapture capture;
  ASSERT_TRUE(testkit::readStereoCapture(capturePath, kCaptureRate, capture));
  ASSERT_GT(capture.frames(), static_cast<std::size_t>(2 * kCaptureRate)) << "capture too short";
  const std::vector<int16_t>& heard = c.right ? capture.right : capture.left;
  const std::vector<int16_t>& silent = c.right ? capture.left : capture.right;
  const int fullPeak = static_cast<int>(kToneAmplitude * 32767);

  // Three plays of the tone, 1.1 s apart: count the 50 ms windows that
  // carry it, and check each is the tone and is on one side only.
  constexpr std::size_t kWindow = kCaptureRate / 20;
  int toneWindows = 0;
  for (std::size_t at = 0; at + kWindow <= capture.frames(); at += kWindow) {
    if (testkit::rms(heard, at, kWindow) < 0.5 * fullPeak) continue;
    ++toneWindows;
    EXPECT_EQ(
        testkit::dominantFrequency(heard, at, kWindow, kCaptureRate,
                                   {kToneFrequency, 0.8 * kToneFrequency, 1.25 * kToneFrequency}),
        kToneFrequency)
        << "window at frame " << at;
  }
  std::string envelope;
  for (std::size_t at = 0; at + kWindow <= capture.frames(); at += kWindow)
    envelope += std::to_string(static_cast<int>(testkit::rms(heard, at, kWindow) / 1000)) + " ";
  EXPECT_GE(toneWindows, 3 * 6)
      << "the tone was not heard three times: rms in thousands per 50 ms: " << envelope;
  EXPECT_LE(toneWindows, 3 * 8 + 2) << envelope;
  EXPECT_GT(testkit::peak(heard), fullPeak * 9 / 10);
  EXPECT_LT(testkit::peak(silent), fullPeak / 100)
      << "heard rms " << testkit::rms(heard) << ", other side rms " << testkit::rms(silent);
}

INSTANTIATE_TEST_SUITE_P(Sounds, PulseServer,
                         ::testing::Values(SideCase{"Right", 90, true},
                                           SideCase{"Left", 270, false}),
                         [](const ::testing::TestParamInfo<SideCase>& info) {
                           return info.param.name;
                         });

}  // namespace

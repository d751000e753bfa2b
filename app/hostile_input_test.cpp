// Hostile playlists and samples, end to end: each run of the real program
// must end with its messages and status 255, or play and then quit cleanly
// on "q"; never crash, hang or take unbounded memory.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "testing/host.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kReady[] = "type 'q' and enter to exit";
const char kTerminated[] = "velumora is terminated\n";

struct RunResult {
  bool timedOut = false;
  bool signaled = false;
  int status = -1;  // exit status, or the signal number when signaled
  long maxRssKb = 0;
  double seconds = 0;
  bool sawReady = false;
  std::string out;
  std::string err;
};

// Runs velumora on playlist.txt in dir with stdin and stdout as pipes. When
// the prompt appears, waits playMs and types "q". Kills the program after
// timeoutSeconds. Measures the peak resident memory through wait4.
// Counts the occurrences of needle in text.
std::size_t occurrences(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

// Plays the playlist in dir and types "q" playMs after start-up, or, when
// waitFor is given, once the output holds it waitCount times.
RunResult runVelumora(const std::string& dir, int playMs = 300, double timeoutSeconds = 30,
                      const std::string& waitFor = "", std::size_t waitCount = 0) {
  RunResult run;
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
    ADD_FAILURE() << "pipe";
    return run;
  }
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (chdir(dir.c_str()) != 0) _exit(126);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    execl(VELUMORA_BINARY, VELUMORA_BINARY, "playlist.txt", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  bool quitSent = false;
  Clock::time_point readyAt;
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed > timeoutSeconds) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    if (!run.sawReady && run.out.find(kReady) != std::string::npos) {
      run.sawReady = true;
      readyAt = Clock::now();
    }
    const bool waited = waitFor.empty()
                            ? Clock::now() - readyAt >= std::chrono::milliseconds(playMs)
                            : occurrences(run.out, waitFor) >= waitCount;
    if (run.sawReady && !quitSent && waited) {
      quitSent = true;
      const char quit[] = "q\n";
      if (write(in[1], quit, 2) != 2) {
        // The program has gone; its status tells the rest.
      }
    }
    pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    poll(fds, 2, 20);
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(got));
      } else {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
  }
  close(in[1]);
  close(out[0]);
  close(err[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.maxRssKb = usage.ru_maxrss;
  if (WIFSIGNALED(status)) {
    run.signaled = true;
    run.status = WTERMSIG(status);
  } else {
    run.status = WEXITSTATUS(status);
  }
  return run;
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/velumora-hostile-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  void write(const std::string& name, const std::string& bytes) const {
    FILE* file = std::fopen((path_ + "/" + name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

 private:
  std::string path_;
};

void put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
}
void put32(std::string& out, uint32_t value) {
  put16(out, value & 0xffff);
  put16(out, value >> 16);
}

// A 16-bit PCM WAV holding a tone; dataBytes of it are written, while the
// header claims claimedBytes (a liar when they differ).
std::string toneWav(int channels, std::size_t dataBytes, uint32_t claimedBytes) {
  std::string data;
  for (std::size_t i = 0; data.size() < dataBytes; ++i) {
    put16(data,
          static_cast<uint16_t>(static_cast<int16_t>(
              9000 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i / channels) / 22050))));
  }
  data.resize(dataBytes);
  std::string file = "RIFF";
  put32(file, 36 + claimedBytes);
  file += "WAVEfmt ";
  put32(file, 16);
  put16(file, 1);
  put16(file, static_cast<uint32_t>(channels));
  put32(file, 22050);
  put32(file, static_cast<uint32_t>(22050 * channels * 2));
  put16(file, static_cast<uint32_t>(channels * 2));
  put16(file, 16);
  file += "data";
  put32(file, claimedBytes);
  return file + data;
}

std::string goodWav() { return toneWav(1, 4410, 4410); }

// The lines every failed start-up ends with, after its own messages.
std::string failedStartTail(int halted = 0) {
  return "Analyzing File String Failed\nVelumora Initialization Failed\nterminating all "
         "threads...\nhalting " +
         std::to_string(halted) +
         " channels...done.\ncleaning memory...done\naudio closed\nvelumora is terminated\n";
}

void expectNoCrash(const RunResult& run) {
  EXPECT_FALSE(run.timedOut) << run.out.substr(0, 2000);
  EXPECT_FALSE(run.signaled) << "signal " << run.status << "\n" << run.err.substr(0, 4000);
}

// Started, played, and quit cleanly on "q".
void expectPlayedAndQuit(const RunResult& run) {
  expectNoCrash(run);
  EXPECT_TRUE(run.sawReady) << run.out.substr(0, 2000);
  EXPECT_EQ(run.status, 0) << run.out.substr(0, 2000);
  EXPECT_NE(run.out.find(kTerminated), std::string::npos);
}

// Refused at start-up with exactly these messages after "initializing...".
void expectRefused(const RunResult& run, const std::string& messages) {
  expectNoCrash(run);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "Velumora ver 1.0.1\ninitializing..." + messages + failedStartTail());
}

struct CycleCase {
  const char* name;
  const char* playlist;
  const char* message;
};

class ReferenceCycle : public testing::TestWithParam<CycleCase> {};

TEST_P(ReferenceCycle, IsRefusedWithItsMessage) {
  TempDir dir;
  dir.write("a.wav", goodWav());
  dir.write("playlist.txt", GetParam().playlist);
  const RunResult run = runVelumora(dir.path());
  expectRefused(run, std::string(GetParam().message) + "\ns : growTree error\n");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ReferenceCycle,
    testing::Values(CycleCase{"Self", "s=(_main=a;a=a);",
                              "can't grow Pattern Object \"a\" : it refers to itself"},
                    CycleCase{"RingOfThree", "s=(_main=a;a=b;b=c;c=a);",
                              "can't grow Pattern Object \"a\" : it refers to itself"},
                    CycleCase{"ThroughSequence", "s=(_main=a;a=(\"a.wav\",b);b=(100,a));",
                              "can't grow Pattern Object \"a\" : it refers to itself"},
                    CycleCase{"ThroughChoice", "s=(_main=a;a=(b:200=1:1);b=(\"a.wav\",a));",
                              "can't grow Pattern Object \"a\" : it refers to itself"},
                    CycleCase{"InUnreferencedName", "s=(_main=(1);z=(y,1);y=z);",
                              "can't grow Pattern Object \"z\" : it refers to itself"}),
    [](const testing::TestParamInfo<CycleCase>& info) { return info.param.name; });

TEST(HostileInput, NestingTwoHundredThousandLevelsIsRefused) {
  TempDir dir;
  const std::size_t levels = 200000;
  dir.write("playlist.txt",
            "s=(_main=" + std::string(levels, '(') + "1" + std::string(levels, ')') + ";x=1);");
  const RunResult run = runVelumora(dir.path());
  expectRefused(run,
                "can't understand as Pattern Object : nested deeper than 1000 levels\ns : "
                "growTree error\n");
}

TEST(HostileInput, UnbalancedNestingTwoHundredThousandLevelsEndsCleanly) {
  TempDir dir;
  dir.write("playlist.txt", "s=(_main=" + std::string(200000, '(') + "1;x=1);");
  const RunResult run = runVelumora(dir.path());
  expectNoCrash(run);
  EXPECT_EQ(run.status, 255);
  EXPECT_NE(run.out.find(kTerminated), std::string::npos);
}

TEST(HostileInput, NestingThroughTwoThousandNamesIsRefused) {
  TempDir dir;
  std::string playlist = "s=(_main=n0;";
  for (int i = 0; i < 2000; ++i) {
    playlist += "n" + std::to_string(i) + "=(n" + std::to_string(i + 1) + ",1);";
  }
  dir.write("playlist.txt", playlist + "n2000=1);");
  const RunResult run = runVelumora(dir.path());
  expectRefused(run,
                "can't understand as Pattern Object : nested deeper than 1000 levels\ns : "
                "growTree error\n");
}

TEST(HostileInput, NamesSharedFortyLevelsDeepStartAtOnce) {
  // Each level plays the one below twice: 2^40 notes in all. Start-up must
  // not walk every path to position the tree.
  TempDir dir;
  dir.write("a.wav", goodWav());
  std::string playlist = "s=(_main=p40;p0=(\"a.wav\",200);";
  for (int i = 1; i <= 40; ++i) {
    playlist += "p" + std::to_string(i) + "=(p" + std::to_string(i - 1) + ",p" +
                std::to_string(i - 1) + ");";
  }
  dir.write("playlist.txt", playlist + "_param=_infinite,90,10);");
  const RunResult run = runVelumora(dir.path(), 300, 20);
  expectPlayedAndQuit(run);
}

struct HugeNumberCase {
  const char* name;
  const char* playlist;
  const char* messages;  // expected between "initializing..." and "done"
};

class NumberBeyond32Bits : public testing::TestWithParam<HugeNumberCase> {};

TEST_P(NumberBeyond32Bits, SaturatesAndStillQuitsAtOnce) {
  TempDir dir;
  dir.write("a.wav", goodWav());
  dir.write("playlist.txt", GetParam().playlist);
  const RunResult run = runVelumora(dir.path(), 500);
  expectPlayedAndQuit(run);
  EXPECT_EQ(run.out.rfind(std::string("Velumora ver 1.0.1\ninitializing...") + GetParam().messages +
                              "done\n" + kReady + "\n",
                          0),
            0u)
      << run.out;
  EXPECT_LT(run.seconds, 10.0);
}

INSTANTIATE_TEST_SUITE_P(
    Everywhere, NumberBeyond32Bits,
    testing::Values(
        HugeNumberCase{"Pause", "s=(_main=(\"a.wav\",p);p=99999999999999999999999);", ""},
        HugeNumberCase{"RandomPauseBounds",
                       "s=(_main=(\"a.wav\",p);p=4294967296to99999999999999999999);", ""},
        HugeNumberCase{"RandomPauseReversed", "s=(_main=(\"a.wav\",p);p=99999999999to1);", ""},
        HugeNumberCase{"Weights", "s=(_main=(c,1000);c=(\"a.wav\":200=99999999999999:4294967297));",
                       ""},
        HugeNumberCase{"ParamLoops", "s=(_main=(\"a.wav\",p);p=100;_param=99999999999,0,0);",
                       "can't understand as number of times loop \"2147483647\"\n"
                       "number of times loop set to 1\nparameters set to default\n"},
        HugeNumberCase{"ParamAngle", "s=(_main=(\"a.wav\",p);p=100;_param=1,99999999999,0);",
                       "can't understand as angle \"2147483647\"\nparameters set to default\n"},
        HugeNumberCase{"ParamDistance", "s=(_main=(\"a.wav\",p);p=100;_param=1,0,-99999999999);",
                       "can't understand as distance -2147483648, must be 0-255.\n"
                       "parameters set to default\n"}),
    [](const testing::TestParamInfo<HugeNumberCase>& info) { return info.param.name; });

TEST(HostileInput, TwoThousandLargestWeightsPlayAndQuit) {
  TempDir dir;
  dir.write("a.wav", goodWav());
  std::string children = "\"a.wav\"";
  std::string weights = "2147483647";
  for (int i = 1; i < 2000; ++i) {
    children += i % 2 ? ":50" : ":\"a.wav\"";
    weights += ":2147483647";
  }
  dir.write("playlist.txt",
            "s=(_main=(c,10);c=(" + children + "=" + weights + ");_param=_infinite,0,0);");
  const RunResult run = runVelumora(dir.path(), 1000);
  expectPlayedAndQuit(run);
  EXPECT_NE(run.out.find("playing infinite time(s) of \"s\""), std::string::npos);
}

class BinaryGarbage : public testing::TestWithParam<unsigned> {};

TEST_P(BinaryGarbage, EndsWithoutCrashing) {
  TempDir dir;
  dir.write("a.wav", goodWav());
  std::mt19937 random(GetParam());
  std::string bytes(64 * 1024, '\0');
  // Mostly the characters the grammar reacts to, with every byte possible.
  const std::string structure = "()=;,:\"to_0123456789 \n\r/as.wav";
  for (char& byte : bytes) {
    const unsigned draw = random();
    byte = draw % 4 == 0 ? static_cast<char>(draw >> 8) : structure[(draw >> 8) % structure.size()];
  }
  dir.write("playlist.txt", bytes);
  const RunResult run = runVelumora(dir.path(), 200);
  expectNoCrash(run);
  EXPECT_TRUE(run.status == 0 || run.status == 255) << run.status;
  EXPECT_EQ(run.sawReady, run.status == 0);
  EXPECT_NE(run.out.find(kTerminated), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, BinaryGarbage, testing::Values(1u, 7u, 42u, 1234u, 99991u));

TEST(HostileInput, RawRandomBytesEndWithoutCrashing) {
  TempDir dir;
  std::mt19937 random(20240601);
  std::string bytes(256 * 1024, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xff);
  dir.write("playlist.txt", bytes);
  const RunResult run = runVelumora(dir.path(), 200);
  expectNoCrash(run);
  EXPECT_TRUE(run.status == 0 || run.status == 255) << run.status;
  EXPECT_NE(run.out.find(kTerminated), std::string::npos);
}

// Generous bounds for a 50 MB line: a few copies of the text at most.
// Sanitizers add their own bookkeeping to every byte.
constexpr long kFiftyMegabyteRssLimitKb = (testkit::kSanitizedBuild ? 3 : 1) * 1024 * 1024;
constexpr double kFiftyMegabyteSeconds = 120;

TEST(HostileInput, FiftyMegabyteNameIsRefusedInBoundedTimeAndMemory) {
  TempDir dir;
  const std::string name(50 * 1024 * 1024, 'n');
  dir.write("playlist.txt", "s=(_main=p;p=" + name + ");");
  const RunResult run = runVelumora(dir.path(), 300, kFiftyMegabyteSeconds);
  expectNoCrash(run);
  EXPECT_EQ(run.status, 255);
  EXPECT_NE(
      run.out.find("can't understand as Pattern Object \"" + name + "\"\ns : growTree error\n"),
      std::string::npos);
  EXPECT_LT(run.maxRssKb, kFiftyMegabyteRssLimitKb);
  RecordProperty("max_rss_kb", static_cast<int>(run.maxRssKb));
  RecordProperty("milliseconds", static_cast<int>(run.seconds * 1000));
}

TEST(HostileInput, FiftyMegabyteCommentAndBlanksPlayInBoundedTimeAndMemory) {
  TempDir dir;
  dir.write("a.wav", goodWav());
  std::string line = "s=(_main=(\"a.wav\"," + std::string(25 * 1024 * 1024, ' ') + "100);x=1);//";
  line += std::string(50 * 1024 * 1024 - line.size(), 'c');
  dir.write("playlist.txt", line);
  const RunResult run = runVelumora(dir.path(), 300, kFiftyMegabyteSeconds);
  expectPlayedAndQuit(run);
  EXPECT_LT(run.maxRssKb, kFiftyMegabyteRssLimitKb);
  RecordProperty("max_rss_kb", static_cast<int>(run.maxRssKb));
  RecordProperty("milliseconds", static_cast<int>(run.seconds * 1000));
}

TEST(HostileInput, ThreeThousandSongsStartEndAndQuit) {
  TempDir dir;
  std::string playlist;
  for (int i = 0; i < 3000; ++i) {
    playlist += "s" + std::to_string(i) + "=(_main=(p,p);p=1;_param=0,0,100);\n";
  }
  dir.write("playlist.txt", playlist);
  // Every song has started and ended before "q": songs not yet started when
  // "q" comes are never started, so that quitting stays quick.
  const RunResult run = runVelumora(dir.path(), 0, 120, " done\n", 3000);
  expectPlayedAndQuit(run);
  std::size_t playing = 0, done = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "s" + std::to_string(i);
    if (run.out.find("playing 0 time(s) of \"" + name + "\"\n") != std::string::npos) ++playing;
    if (run.out.find("\n" + name + " done\n") != std::string::npos) ++done;
  }
  EXPECT_EQ(playing, 3000u);
  EXPECT_EQ(done, 3000u);
}

struct SampleCase {
  const char* name;
  int channels;
  std::size_t dataBytes;
  uint32_t claimedBytes;
};

class DamagedSample : public testing::TestWithParam<SampleCase> {};

TEST_P(DamagedSample, LoadsOrIsRefusedNeverCrashes) {
  TempDir dir;
  const SampleCase& sample = GetParam();
  dir.write("bad.wav", toneWav(sample.channels, sample.dataBytes, sample.claimedBytes));
  dir.write("playlist.txt", "s=(_main=(n,50);n=\"bad.wav\";_param=_infinite,90,0);");
  const RunResult run = runVelumora(dir.path(), 1000);
  expectNoCrash(run);
  if (run.status == 0) {
    expectPlayedAndQuit(run);
  } else {
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.out.find(" : Unable to Open Audio File : \"bad.wav\" : "), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(kTerminated), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedSample,
    testing::Values(SampleCase{"CutMidFrameMono", 1, 4411, 4411},
                    SampleCase{"CutMidFrameStereo", 2, 4411, 4411},
                    SampleCase{"StereoThreeBytesOver", 2, 4403, 4403},
                    SampleCase{"HeaderClaimsMoreThanFile", 1, 4410, 1000000},
                    SampleCase{"HeaderClaimsMoreOddBytes", 2, 4413, 99999},
                    SampleCase{"HeaderClaimsFourGigabytes", 2, 4410, 0xfffffff0u},
                    SampleCase{"NoDataAtAll", 1, 0, 4410}, SampleCase{"SingleByte", 1, 1, 1}),
    [](const testing::TestParamInfo<SampleCase>& info) { return info.param.name; });

}  // namespace

#include "app/render_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "testing/temp_dir.h"

namespace {

using testkit::TempDir;

const std::string kBytes = "RIFF and then some frames";
const std::string kProtected = "it is the playlist or one of its samples";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}
int sh(const TempDir& dir, const std::string& script) {
  return std::system(("cd '" + dir.path() + "' && umask 027 && " + script).c_str());
}

struct TargetCase {
  const char* name;
  const char* setup;   // shell, in the directory that holds playlist.txt and rain.wav
  const char* target;  // relative to it, or absolute
  std::string error;   // "step: reason" of the failing step; empty when all succeed
  const char* check;   // shell, after finish; "bytes" holds what was written
  bool finish = true;  // or discard
};
void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

class Targets : public ::testing::TestWithParam<TargetCase> {};

TEST_P(Targets, GoWhereTheyShould) {
  const TargetCase& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(dir.write("playlist.txt", "song") && dir.write("rain.wav", "rain") &&
              dir.write("bytes", kBytes));
  if (sh(dir, c.setup) != 0) GTEST_SKIP() << "cannot run here: " << c.setup;
  std::vector<FileId> ids(2);
  std::string error;
  ASSERT_TRUE(RenderOutput::fileId(dir.file("playlist.txt"), ids[0], error) &&
              RenderOutput::fileId(dir.file("rain.wav"), ids[1], error));
  const mode_t mask = umask(027);
  RenderOutput out;
  std::string failure;  // the step that failed, and why
  if (!out.open(c.target[0] == '/' ? c.target : dir.file(c.target), ids, error)) {
    failure = "open: " + error;
  } else if (!out.write(kBytes.data(), kBytes.size(), error)) {
    failure = "write: " + error;
  } else if (c.finish ? !out.finish(error) : (out.discard(), false)) {
    failure = "finish: " + error;
  }
  umask(mask);
  EXPECT_EQ(failure, c.error);
  EXPECT_EQ(slurp(dir.file("playlist.txt")) + slurp(dir.file("rain.wav")), "songrain");
  EXPECT_EQ(sh(dir, "test -z \"$(find . -name '*.partial-*')\" && " + std::string(c.check)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Output, Targets,
    ::testing::Values(
        TargetCase{"NewFile", "true", "new.wav", "",
                   "test $(stat -c %a new.wav) = 640"
                   " && cmp bytes new.wav"},
        TargetCase{"ExistingKeepsModeAndOwner",
                   "echo old > f && chmod 600 f && { chown 65534 f || true; } && stat -c %u f > u",
                   "f", "", "test $(stat -c %a:%u f) = 600:$(cat u) && cmp bytes f"},
        TargetCase{"DiscardKeepsTheOld", "echo old > f", "f", "", "test $(cat f) = old", false},
        TargetCase{"DiscardMakesNothing", "true", "f", "", "test ! -e f", false},
        TargetCase{"LinkIsFollowedAndKept", "touch r && chmod 604 r && ln -s r link", "link", "",
                   "test -L link && test $(stat -c %a r) = 604 && cmp bytes r"},
        TargetCase{"DanglingLinkChain", "mkdir d && ln -s d/new b && ln -s b link", "link", "",
                   "test -L link && test -L b && cmp bytes d/new"},
        TargetCase{"Fifo", "mkfifo p && { timeout 10 cat p > got 2>/dev/null & }", "p", "",
                   "test -p p && timeout 5 sh -c 'until cmp -s bytes got; do sleep 0.01; done'"},
        TargetCase{"DevNull", "true", "/dev/null", "", "test -c /dev/null"},
        TargetCase{"DevFull", "true", "/dev/full", "write: No space left on device",
                   "test -c /dev/full"},
        TargetCase{"Directory", "mkdir d", "d", "open: Is a directory", "test -d d"},
        TargetCase{"MissingDirectory", "true", "no/f", "open: No such file or directory", "true"},
        TargetCase{"BlockDevice", "mknod b b 7 0", "b",
                   "open: it is a block device, which is never written to", "test -b b"},
        TargetCase{"Socket",
                   "python3 -c \"import socket; socket.socket(socket.AF_UNIX).bind('s')\"", "s",
                   "open: it is a socket, which cannot be opened", "test -S s"},
        TargetCase{"Playlist", "true", "playlist.txt", "open: " + kProtected, "true"},
        TargetCase{"SampleThroughALink", "ln -s rain.wav link", "link", "open: " + kProtected,
                   "test -L link"},
        TargetCase{"SampleThroughAHardLink", "ln rain.wav hard", "hard", "open: " + kProtected,
                   "true"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RenderOutput, ReportsALeavingReaderAndWritesToStandardOutput) {
  TempDir dir;
  std::string error;
  signal(SIGPIPE, SIG_IGN);  // as the programs do
  ASSERT_EQ(mkfifo(dir.file("p").c_str(), 0600), 0);
  std::thread leaver([&] { close(open(dir.file("p").c_str(), O_RDONLY)); });
  RenderOutput left;
  ASSERT_TRUE(left.open(dir.file("p"), {}, error)) << error;
  EXPECT_EQ(left.temporaryPath(), "");
  if (!left.temporaryPath().empty()) close(open(dir.file("p").c_str(), O_WRONLY));  // free it
  leaver.join();
  EXPECT_FALSE(left.write(kBytes.data(), kBytes.size(), error));
  EXPECT_EQ(error, "Broken pipe");

  const int saved = dup(STDOUT_FILENO);
  const int file = open(dir.file("out").c_str(), O_WRONLY | O_CREAT, 0600);
  dup2(file, STDOUT_FILENO);
  RenderOutput standard;
  const bool done = standard.open("-", {}, error) &&
                    standard.write(kBytes.data(), kBytes.size(), error) && standard.finish(error);
  std::vector<FileId> isStdout(1);
  std::string refused;
  RenderOutput::fileId(dir.file("out"), isStdout[0], error);
  RenderOutput().open("-", isStdout, refused);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(file);
  EXPECT_TRUE(done) << error;
  EXPECT_EQ(slurp(dir.file("out")), kBytes);
  EXPECT_EQ(refused, kProtected);
}

TEST(RenderOutput, RemovesStaleTemporariesOfItsTargetOnly) {
  TempDir dir;
  std::string error;
  RenderOutput live, second;
  ASSERT_TRUE(live.open(dir.file("f"), {}, error)) << error;
  const char* kept[] = {"f.partial-short", "g.partial-a1B2c3", live.temporaryPath().c_str()};
  for (const char* name : {"f.partial-a1B2c3", kept[0], kept[1]}) ASSERT_TRUE(dir.write(name, ""));
  ASSERT_TRUE(second.open(dir.file("f"), {}, error)) << error;
  EXPECT_EQ(sh(dir, "test ! -e f.partial-a1B2c3"), 0);
  for (const char* name : kept)
    EXPECT_EQ(access(name[0] == '/' ? name : dir.file(name).c_str(), F_OK), 0) << name;
}

}  // namespace

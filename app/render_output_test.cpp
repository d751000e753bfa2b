#include "app/render_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "testing/temp_dir.h"

namespace {

using testkit::TempDir;

const std::string kBytes = "RIFF and then some frames";
const std::string kProtected = "it is the playlist or one of its samples";

int sh(const TempDir& dir, const std::string& script) {
  return std::system(("cd '" + dir.path() + "' && umask 027 && " + script).c_str());
}

struct TargetCase {
  const char* name;
  const char* setup;   // shell, in the directory that holds playlist.txt and rain.wav
  const char* target;  // relative to it, or absolute, or "-": standard output, made "out"
  std::string error;   // "step: reason" of the failing step; empty when all succeed
  const char* check;   // shell, after finish; "bytes" holds what was written
  bool finish = true;  // or discard
};

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
  const std::string target =
      c.target[0] == '/' || c.target[0] == '-' ? c.target : dir.file(c.target);
  const int out = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const int savedStdout = dup(STDOUT_FILENO);
  if (target == "-") dup2(out, STDOUT_FILENO);
  const mode_t mask = umask(027);
  RenderOutput output;
  std::string failure;  // the step that failed, and why
  if (!output.open(target, ids, error)) {
    failure = "open: " + error;
  } else if (!output.write(kBytes.data(), kBytes.size(), error)) {
    failure = "write: " + error;
  } else if (c.finish ? !output.finish(error) : (output.discard(), false)) {
    failure = "finish: " + error;
  }
  umask(mask);
  dup2(savedStdout, STDOUT_FILENO);
  close(savedStdout);
  close(out);
  EXPECT_EQ(failure, c.error);
  EXPECT_EQ(sh(dir,
               "test \"$(cat playlist.txt rain.wav)\" = songrain && "
               "test -z \"$(find . -name '*.partial-*')\" && " +
                   std::string(c.check)),
            0);
}

const TargetCase kTargets[] = {
    {"NewFile", "true", "new.wav", "", "test $(stat -c %a new.wav) = 640 && cmp bytes new.wav"},
    {"ExistingKeepsModeAndOwner",
     "echo old > f && chmod 600 f && { chown 65534 f || true; } && stat -c %u f > u", "f", "",
     "test $(stat -c %a:%u f) = 600:$(cat u) && cmp bytes f"},
    {"DiscardKeepsTheOld", "echo old > f", "f", "", "test $(cat f) = old", false},
    {"LinkIsFollowedAndKept", "touch r && chmod 604 r && ln -s r link", "link", "",
     "test -L link && test $(stat -c %a r) = 604 && cmp bytes r"},
    {"DanglingLinkChain", "mkdir d && ln -s d/new b && ln -s b link", "link", "",
     "test -L link && test -L b && cmp bytes d/new"},
    {"Fifo", "mkfifo p && { timeout 10 cat p > got 2>/dev/null & }", "p", "",
     "test -p p && timeout 5 sh -c 'until cmp -s bytes got; do sleep 0.01; done'"},
    {"DevFull", "true", "/dev/full", "write: No space left on device", "test -c /dev/full"},
    {"StandardOutput", "true", "-", "", "cmp bytes out"},
    {"StandardOutputIsThePlaylist", "ln -s playlist.txt out", "-", "open: " + kProtected, "true"},
    {"Directory", "mkdir d", "d", "open: Is a directory", "test -d d"},
    {"MissingDirectory", "true", "no/f", "open: No such file or directory", "true"},
    {"BlockDevice", "mknod b b 7 0", "b", "open: it is a block device, which is never written to",
     "test -b b"},
    {"Socket", "python3 -c \"import socket; socket.socket(socket.AF_UNIX).bind('s')\"", "s",
     "open: it is a socket, which cannot be opened", "test -S s"},
    {"Playlist", "true", "playlist.txt", "open: " + kProtected, "true"},
    {"SampleThroughALink", "ln -s rain.wav link", "link", "open: " + kProtected, "test -L link"},
    {"SampleThroughAHardLink", "ln rain.wav hard", "hard", "open: " + kProtected, "true"}};

INSTANTIATE_TEST_SUITE_P(Output, Targets, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RenderOutput, RemovesStaleTemporariesOfItsTargetOnly) {
  TempDir dir;
  std::string error;
  RenderOutput live, second;
  ASSERT_TRUE(live.open(dir.file("f"), {}, error)) << error;
  for (const char* name : {"f.partial-a1B2c3", "f.partial-short", "g.partial-a1B2c3"})
    ASSERT_TRUE(dir.write(name, ""));
  ASSERT_TRUE(second.open(dir.file("f"), {}, error)) << error;
  EXPECT_EQ(sh(dir,
               "test ! -e f.partial-a1B2c3 && test -e f.partial-short && "
               "test -e g.partial-a1B2c3 && test -e " +
                   live.temporaryPath()),
            0);
}

}  // namespace

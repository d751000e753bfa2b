#include "testing/child.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "testing/fakes.h"

namespace testkit {

namespace {

// An unnamed file that the child writes and the test reads as it grows.
int outputFile() {
  char name[] = "/tmp/velumora-child-XXXXXX";
  const int fd = mkostemp(name, O_CLOEXEC);
  unlink(name);
  return fd;
}

}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& args,
             const std::string& dir, const std::vector<std::string>& env, Output output)
    : outFile_(output == Output::kFile ? outputFile() : -1), errFile_(outputFile()) {
  // A child that stops reading must fail our writes, not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> argStore = {program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStore) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int in[2];
  // A pipe that cannot be made stays at -1.
  if (output == Output::kUnreadPipe) (void)pipe2(outPipe_, O_CLOEXEC);
  const int out = output == Output::kFile ? outFile_ : outPipe_[1];
  if (pipe2(in, O_CLOEXEC) != 0 || out < 0 || errFile_ < 0 || (pid_ = fork()) < 0) {
    ADD_FAILURE() << "cannot start " << program;
    return;
  }
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out, 1);
    dup2(errFile_, 2);
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(sig, SIG_DFL);
    if (dir.empty() || chdir(dir.c_str()) == 0) execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  in_ = in[1];
}

Child::~Child() {
  if (pid_ > 0 && !reap(false)) {
    kill(pid_, SIGKILL);
    reap(true);
  }
  for (int fd : {in_, outFile_, outPipe_[0], outPipe_[1], errFile_})
    if (fd >= 0) close(fd);
}

bool Child::write(const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t put = in_ < 0 ? -1 : ::write(in_, text.data() + done, text.size() - done);
    if (put < 0 && errno != EINTR) return false;
    if (put > 0) done += static_cast<std::size_t>(put);
  }
  return true;
}

void Child::closeInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

void Child::readOutput(std::size_t most) {
  char buffer[65536];
  ssize_t got;
  fcntl(outPipe_[0], F_SETFL, O_NONBLOCK);
  while (most > 0 && (got = read(outPipe_[0], buffer, std::min(most, sizeof buffer))) > 0) {
    out_.append(buffer, static_cast<std::size_t>(got));
    most -= static_cast<std::size_t>(got);
  }
}

const std::string& Child::out() {
  if (outFile_ >= 0) return out_ = contentsOf(outFile_);
  readOutput(std::string::npos);
  return out_;
}
const std::string& Child::err() { return err_ = contentsOf(errFile_); }

bool Child::reap(bool block) {
  int status = 0;
  pid_t got = 0;
  while (status_ < 0 && (got = waitpid(pid_, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got == pid_) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_ >= 0;
}

bool Child::until(int ms, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < deadline) usleep(20000);
  return done();
}

bool Child::waitFor(const std::string& text) {
  const auto seen = [&] { return out().find(text) != std::string::npos; };
  // The child may write its last words as it ends.
  if (until(kPatienceMs, [&] { return seen() || reap(false); }) && seen()) return true;
  ADD_FAILURE() << "no \"" << text << "\" in\n" << out_ << "\n" << err();
  return false;
}

bool Child::waitUntilOutputFull() {
  // The pipe is full when its write end is not ready for writing, though a
  // part of its last page may stay unused.
  const auto full = [&] {
    pollfd ready = {outPipe_[1], POLLOUT, 0};
    return poll(&ready, 1, 0) == 0;
  };
  if (until(kPatienceMs, full)) return true;
  ADD_FAILURE() << "the output pipe never filled\n" << err();
  return false;
}

bool Child::signal(int number) { return pid_ > 0 && status_ < 0 && kill(pid_, number) == 0; }

bool Child::runsAfter(int ms) {
  return !until(ms, [&] { return reap(false); });
}

int Child::wait() {
  if (until(kPatienceMs, [&] { return reap(false); })) return status_;
  kill(pid_, SIGKILL);
  reap(true);
  ADD_FAILURE() << "no exit in time\n" << out() << "\n" << err();
  return -1;
}

Finished runToEnd(const std::string& program, const std::vector<std::string>& args,
                  const std::string& dir, const std::vector<std::string>& env,
                  const std::string& input) {
  Child child(program, args, dir, env);
  child.write(input);
  child.closeInput();
  const int status = child.wait();
  return Finished{status, child.out(), child.err()};
}

}  // namespace testkit

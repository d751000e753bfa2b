#include "testing/child.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "testing/fakes.h"

namespace testkit {

namespace {

using Steady = std::chrono::steady_clock;

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
    ++count;
  return count;
}

// An unnamed file that the child writes and the test reads as it grows.
int outputFile() {
  char name[] = "/tmp/velumora-child-XXXXXX";
  const int fd = mkostemp(name, O_CLOEXEC);
  unlink(name);
  return fd;
}

}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& args,
             const std::string& dir, const std::vector<std::string>& env) {
  // A child that stops reading must fail our writes, not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> argStore = {program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStore) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int in[2];
  outFile_ = outputFile();
  errFile_ = outputFile();
  if (pipe2(in, O_CLOEXEC) != 0 || outFile_ < 0 || errFile_ < 0) {
    ADD_FAILURE() << "pipe or output file failed";
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(outFile_, 1);
    dup2(errFile_, 2);
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(sig, SIG_DFL);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  in_ = in[1];
  if (pid_ < 0) ADD_FAILURE() << "fork failed";
}

Child::~Child() {
  if (pid_ > 0 && !reap(false)) {
    kill(pid_, SIGKILL);
    reap(true);
  }
  for (int fd : {in_, outFile_, errFile_})
    if (fd >= 0) close(fd);
}

bool Child::write(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = in_ < 0 ? -1 : ::write(in_, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

void Child::closeInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

const std::string& Child::out() {
  out_ = contentsOf(outFile_);
  return out_;
}

const std::string& Child::err() {
  err_ = contentsOf(errFile_);
  return err_;
}

bool Child::reap(bool block) {
  if (status_ >= 0) return true;
  int status = 0;
  pid_t got;
  while ((got = waitpid(pid_, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got != pid_) return false;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool Child::until(int ms, const std::function<bool()>& done) {
  const auto deadline = Steady::now() + std::chrono::milliseconds(ms);
  while (!done() && Steady::now() < deadline) usleep(20000);
  return done();
}

bool Child::waitFor(const std::string& text, std::size_t count) {
  const auto seen = [&] { return occurrences(out(), text) >= count; };
  // The child may write its last words as it ends.
  if (until(kPatienceMs, [&] { return seen() || reap(false); }) && seen()) return true;
  ADD_FAILURE() << "no " << count << " x \"" << text << "\" in\n" << out_ << "\n" << err();
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
  Finished finished;
  finished.status = child.wait();
  finished.out = child.out();
  finished.err = child.err();
  return finished;
}

}  // namespace testkit

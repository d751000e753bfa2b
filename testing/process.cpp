#include "testing/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

namespace testkit {

namespace {

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Appends what can be read from fd without blocking; closes it at its end.
void drain(int& fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      into.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    closeFd(fd);  // end of file or a real error
    return;
  }
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + part.size()))
    ++count;
  return count;
}

std::chrono::milliseconds remaining(ChildProcess::Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - ChildProcess::Clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

}  // namespace

ChildProcess::ChildProcess(ProcessOptions options) : options_(std::move(options)) {}

ChildProcess::~ChildProcess() {
  if (running()) killAndReap();
  closeFd(input_);
  closeFd(outputPipe_);
  closeFd(errorPipe_);
}

bool ChildProcess::start() {
  // A child that stops reading must fail our writes, not kill the test.
  signal(SIGPIPE, SIG_IGN);

  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls are made.
  std::vector<std::string> argStore;
  argStore.push_back(options_.program);
  argStore.insert(argStore.end(), options_.args.begin(), options_.args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStore) argv.push_back(&arg[0]);
  argv.push_back(nullptr);

  std::vector<std::string> envStore;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string current(*entry);
    const std::string name = current.substr(0, current.find('='));
    bool replaced = false;
    for (const std::string& extra : options_.env)
      if (extra.substr(0, extra.find('=')) == name) replaced = true;
    if (!replaced) envStore.push_back(current);
  }
  envStore.insert(envStore.end(), options_.env.begin(), options_.env.end());
  std::vector<char*> envp;
  for (std::string& entry : envStore) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return false;
  }
  if (pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    close(in[0]);
    close(in[1]);
    return false;
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    return false;
  }

  const char* workDir = options_.workDir.empty() ? nullptr : options_.workDir.c_str();
  startTime_ = Clock::now();
  pid_ = fork();
  if (pid_ < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    return false;
  }
  if (pid_ == 0) {
    // dup2 clears close-on-exec on the new descriptors only.
    if (dup2(in[0], STDIN_FILENO) < 0 || dup2(out[1], STDOUT_FILENO) < 0 ||
        dup2(err[1], STDERR_FILENO) < 0)
      _exit(127);
    // Default dispositions for the signals the tests send.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (workDir != nullptr && chdir(workDir) != 0) _exit(127);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  input_ = in[1];
  outputPipe_ = out[0];
  errorPipe_ = err[0];
  fcntl(outputPipe_, F_SETFL, fcntl(outputPipe_, F_GETFL) | O_NONBLOCK);
  fcntl(errorPipe_, F_SETFL, fcntl(errorPipe_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool ChildProcess::write(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    if (input_ < 0) return false;
    const ssize_t put = ::write(input_, text.data() + done, text.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

void ChildProcess::closeInput() { closeFd(input_); }

void ChildProcess::pump(std::chrono::milliseconds wait) {
  pollfd fds[2];
  nfds_t count = 0;
  if (outputPipe_ >= 0) fds[count++] = {outputPipe_, POLLIN, 0};
  if (errorPipe_ >= 0) fds[count++] = {errorPipe_, POLLIN, 0};
  if (count == 0) {
    if (wait.count() > 0) usleep(static_cast<useconds_t>(std::min<long>(wait.count(), 20) * 1000));
    return;
  }
  const int ready = poll(fds, count, static_cast<int>(wait.count()));
  if (ready <= 0) return;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    if (fds[i].fd == outputPipe_)
      drain(outputPipe_, output_);
    else
      drain(errorPipe_, errors_);
  }
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  return waitForOutputCount(text, 1, timeout);
}

bool ChildProcess::waitForOutputCount(const std::string& text, std::size_t count,
                                      std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (countOf(output_, text) >= count) return true;
    if (outputPipe_ < 0 || Clock::now() >= deadline) break;
    pump(std::min(remaining(deadline), std::chrono::milliseconds(100)));
  }
  const bool stillRunning = running();
  if (stillRunning) killAndReap();
  ADD_FAILURE() << "timed out after " << timeout.count() << " ms waiting for " << count << " x \""
                << text << "\"" << (stillRunning ? "" : " (the output had ended)") << "\n"
                << describe();
  return false;
}

bool ChildProcess::sendSignal(int signal) { return running() && kill(pid_, signal) == 0; }

bool ChildProcess::stillRunningAfter(std::chrono::milliseconds period) {
  const auto deadline = Clock::now() + period;
  while (!exited_) {
    if (reap()) break;
    if (Clock::now() >= deadline) return true;
    pump(std::min(remaining(deadline), std::chrono::milliseconds(20)));
  }
  return false;
}

bool ChildProcess::reap() {
  if (pid_ <= 0 || exited_) return exited_;
  int status = 0;
  pid_t got;
  while ((got = waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got != pid_) return false;
  exited_ = true;
  status_ = WIFEXITED(status)     ? WEXITSTATUS(status)
            : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                  : -1;
  return true;
}

int ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  if (pid_ <= 0) {
    ADD_FAILURE() << "the program was never started";
    return -1;
  }
  while (!exited_) {
    if (reap()) break;
    if (Clock::now() >= deadline) {
      killAndReap();
      ADD_FAILURE() << "timed out after " << timeout.count() << " ms waiting for the exit\n"
                    << describe();
      return -1;
    }
    pump(std::chrono::milliseconds(outputPipe_ >= 0 || errorPipe_ >= 0 ? 20 : 5));
  }
  // The child is gone: read what it left in the pipes. Its own children, if
  // any, could keep them open, so this too has a deadline.
  const auto drainDeadline = Clock::now() + std::chrono::seconds(5);
  while ((outputPipe_ >= 0 || errorPipe_ >= 0) && Clock::now() < drainDeadline)
    pump(std::chrono::milliseconds(50));
  return status_;
}

void ChildProcess::killAndReap() {
  if (pid_ <= 0 || exited_) return;
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  exited_ = true;
  status_ = -1;
  // Whatever reached the pipes helps explain the failure.
  for (int round = 0; round < 10 && (outputPipe_ >= 0 || errorPipe_ >= 0); ++round)
    pump(std::chrono::milliseconds(10));
}

std::string ChildProcess::describe() const {
  return "--- stdout so far ---\n" + output_ + "\n--- stderr so far ---\n" + errors_;
}

Finished runToEnd(const ProcessOptions& options, std::chrono::milliseconds timeout) {
  ChildProcess process(options);
  Finished finished;
  if (!process.start()) return finished;
  process.closeInput();
  finished.status = process.waitForExit(timeout);
  finished.output = process.output();
  return finished;
}

}  // namespace testkit

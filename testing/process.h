#ifndef VELUMORA_TESTING_PROCESS_H_
#define VELUMORA_TESTING_PROCESS_H_

// Runs a program as a child process for end-to-end tests: its standard input
// and output are pipes held by the test, its standard error is captured
// apart. Every wait has a deadline; when one passes, the child is killed and
// the current test fails (never hangs). The destructor kills a child that
// is still running.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testkit {

struct ProcessOptions {
  std::string program;
  // argv[1] onwards.
  std::vector<std::string> args;
  // "NAME=value" entries added to (or replacing those of) the test's own
  // environment.
  std::vector<std::string> env;
  // Empty: the test's working directory.
  std::string workDir;
};

class ChildProcess {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ChildProcess(ProcessOptions options);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Forks and executes the program. False (and a test failure) when the
  // pipes or the fork cannot be made; a program that cannot be executed
  // exits with status 127.
  bool start();

  // Writes all of text to the child's standard input. False when the input
  // is closed or the child no longer reads it.
  bool write(const std::string& text);
  void closeInput();

  // Waits until the standard output so far contains text. On timeout the
  // child is killed, the test fails and false is returned.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);

  // Waits until standard output contains text `count` times or more.
  bool waitForOutputCount(const std::string& text, std::size_t count,
                          std::chrono::milliseconds timeout);

  bool sendSignal(int signal);

  // Keeps reading the output for `period`; true when the child is still
  // running at its end (it is not killed either way).
  bool stillRunningAfter(std::chrono::milliseconds period);

  // Waits for the child to end and reads its output to the end. Returns its
  // exit status (0 to 255), 128 + the signal number when a signal ended it,
  // or -1 after a timeout (the child is then killed and the test fails).
  int waitForExit(std::chrono::milliseconds timeout);

  const std::string& output() const { return output_; }
  const std::string& errorOutput() const { return errors_; }
  // When start() ran.
  Clock::time_point startTime() const { return startTime_; }
  bool running() const { return pid_ > 0 && !exited_; }

 private:
  // Reads whatever is ready on the output pipes, waiting at most `wait`.
  void pump(std::chrono::milliseconds wait);
  // Collects the child's status if it has ended; true when it has.
  bool reap();
  void killAndReap();
  std::string describe() const;

  ProcessOptions options_;
  pid_t pid_ = -1;
  int input_ = -1;
  int outputPipe_ = -1;
  int errorPipe_ = -1;
  bool exited_ = false;
  int status_ = -1;
  std::string output_;
  std::string errors_;
  Clock::time_point startTime_;
};

// How a program run to its end with no input ended.
struct Finished {
  int status = -1;  // as ChildProcess::waitForExit gives it
  std::string output;
};

// Starts the program with its standard input closed and waits for its end.
Finished runToEnd(const ProcessOptions& options, std::chrono::milliseconds timeout);

}  // namespace testkit

#endif  // VELUMORA_TESTING_PROCESS_H_

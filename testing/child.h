#ifndef VELUMORA_TESTING_CHILD_H_
#define VELUMORA_TESTING_CHILD_H_

// Runs a built program as a user would, for end-to-end tests: its standard
// input is a pipe held by the test, its output and error unnamed files that
// the test reads as they grow. Every wait has a deadline, past which the
// child is killed and the test fails; one still running at the end is killed.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace testkit {

// Generous: the programs answer within milliseconds, but tests run in
// parallel, and under sanitizers.
constexpr int kPatienceMs = 30000;

class Child {
 public:
  // env: "NAME=value" entries over the test's own environment; dir: the
  // working directory (empty: the test's).
  Child(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
        const std::vector<std::string>& env = {});
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  bool write(const std::string& text);
  void closeInput();
  // Waits until standard output holds text `count` times.
  bool waitFor(const std::string& text, std::size_t count = 1);
  bool signal(int number);
  // The exit status, 128 + the signal that ended it, or -1 after a timeout.
  int wait();
  // True when the child still runs after ms milliseconds.
  bool runsAfter(int ms);

  // What it has written so far.
  const std::string& out();
  const std::string& err();

 private:
  bool reap(bool block);
  // Polls until done() or ms have passed; what done() says at the end.
  bool until(int ms, const std::function<bool()>& done);

  pid_t pid_ = -1;
  int in_ = -1;
  int outFile_ = -1;
  int errFile_ = -1;
  int status_ = -1;
  std::string out_;
  std::string err_;
};

struct Finished {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program to its end with input on its standard input, then closed.
Finished runToEnd(const std::string& program, const std::vector<std::string>& args,
                  const std::string& dir, const std::vector<std::string>& env = {},
                  const std::string& input = "");

}  // namespace testkit

#endif  // VELUMORA_TESTING_CHILD_H_

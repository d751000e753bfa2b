#ifndef VELUMORA_APP_COMMAND_LINE_H_
#define VELUMORA_APP_COMMAND_LINE_H_

// The command line of the three programs, in the conventions of Unix tools:
// --help prints the usage on standard output, --version the name and
// version; an unknown option or a bad value is an error, with the usage on
// standard error. Words that do not begin with "--" are positional, and so
// is every word after a first "--", which ends the options.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/mix_format.h"

class CommandLine {
 public:
  // What parse() returns when the program should run.
  static constexpr int kRun = -1000;
  static constexpr int kUsageError = 2;

  struct Usage {
    const char* program;
    const char* synopsis;  // what follows the program's name
    const char* details;   // the options, one per line
  };

  explicit CommandLine(Usage usage) : usage_(usage) {}

  // An option with a value; read returns false when the value is wrong,
  // with what is expected in expected.
  void option(const std::string& name, const std::string& expected,
              std::function<bool(const std::string&)> read);
  // An option with a whole number from 0 to most.
  void number(const std::string& name, uint64_t most, std::function<void(uint64_t)> set);
  // An option with a length of time: seconds ("2.5"), or a sum of hours,
  // minutes and seconds ("1h30m", "45m", "90s"), from 0 to most seconds.
  void duration(const std::string& name, double most, std::function<void(double)> set);
  // An option without a value.
  void flag(const std::string& name, std::function<void()> set);
  // --rate HZ and --channels N, which velumora, velumora-render and
  // velumora-check share, into format; given is set when either is given.
  void mixFormat(MixFormat& format, bool& given);

  // kRun, or the exit status after --help, --version (0) or an error (2).
  int parse(int argc, char** argv);
  const std::vector<std::string>& positional() const { return positional_; }
  // Prints the error and the usage on standard error; returns kUsageError.
  int fail(const std::string& message) const;

  // The seconds that a duration text stands for; false when it is not one.
  static bool readDuration(const std::string& text, double& seconds);

 private:
  struct Option {
    std::string name;
    std::string expected;  // empty for a flag
    std::function<bool(const std::string&)> read;
  };

  Usage usage_;
  std::vector<Option> options_;
  std::vector<std::string> positional_;
};

#endif  // VELUMORA_APP_COMMAND_LINE_H_

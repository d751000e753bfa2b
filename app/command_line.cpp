#include "app/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kVersion[] = "1.0.1";

bool readWhole(const std::string& text, uint64_t most, uint64_t& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long read = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || read > most) return false;
  value = read;
  return true;
}

}  // namespace

void CommandLine::option(const std::string& name, const std::string& expected,
                         std::function<bool(const std::string&)> read) {
  options_.push_back(Option{name, expected, std::move(read)});
}

void CommandLine::number(const std::string& name, uint64_t most,
                         std::function<void(uint64_t)> set) {
  option(name, "a whole number from 0 to " + std::to_string(most),
         [most, set](const std::string& text) {
           uint64_t value = 0;
           if (!readWhole(text, most, value)) return false;
           set(value);
           return true;
         });
}

bool CommandLine::readDuration(const std::string& text, double& seconds) {
  seconds = 0;
  const char* at = text.c_str();
  if (*at == '\0') return false;
  while (*at != '\0') {
    if (*at < '0' || *at > '9') return false;
    char* end = nullptr;
    const double value = std::strtod(at, &end);
    at = end;
    switch (*at) {
      case 'h':
        seconds += value * 3600;
        ++at;
        break;
      case 'm':
        seconds += value * 60;
        ++at;
        break;
      case 's':
        ++at;
        [[fallthrough]];
      case '\0':
        seconds += value;
        break;
      default:
        return false;
    }
  }
  return true;
}

void CommandLine::duration(const std::string& name, double most, std::function<void(double)> set) {
  option(name,
         "a time such as 2.5, 90s, 45m or 1h30m, at most " +
             std::to_string(static_cast<long>(most)) + " seconds",
         [most, set](const std::string& text) {
           double seconds = 0;
           if (!readDuration(text, seconds) || seconds > most) return false;
           set(seconds);
           return true;
         });
}

void CommandLine::flag(const std::string& name, std::function<void()> set) {
  options_.push_back(Option{name, "", [set](const std::string&) {
                              set();
                              return true;
                            }});
}

void CommandLine::mixFormat(MixFormat& format, bool& given) {
  option("--rate",
         "a rate in Hz from " + std::to_string(MixFormat::kLowestRate) + " to " +
             std::to_string(MixFormat::kHighestRate) + ", such as 44100 or 48000",
         [&format, &given](const std::string& text) {
           uint64_t value = 0;
           if (!readWhole(text, MixFormat::kHighestRate, value) ||
               value < uint64_t{MixFormat::kLowestRate}) {
             return false;
           }
           format.rate = static_cast<int>(value);
           given = true;
           return true;
         });
  option("--channels", "2 (stereo), 4 (quad) or 6 (5.1)",
         [&format, &given](const std::string& text) {
           if (text != "2" && text != "4" && text != "6") return false;
           format.channels = text[0] - '0';
           given = true;
           return true;
         });
}

int CommandLine::fail(const std::string& message) const {
  const std::string text = std::string(usage_.program) + ": " + message +
                           "\nusage: " + usage_.program + " " + usage_.synopsis + "\n" +
                           usage_.details;
  std::fwrite(text.data(), 1, text.size(), stderr);
  return kUsageError;
}

int CommandLine::parse(int argc, char** argv) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    // "--" lets a file whose name begins with "--" be named.
    if (word == "--" && !optionsEnded) {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || word.size() <= 2 || word.compare(0, 2, "--") != 0) {
      positional_.push_back(word);
      continue;
    }
    if (word == "--help") {
      std::printf("usage: %s %s\n%s", usage_.program, usage_.synopsis, usage_.details);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (word == "--version") {
      std::printf("%s %s\n", usage_.program, kVersion);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const Option* found = nullptr;
    for (const Option& option : options_) {
      if (option.name == word) found = &option;
    }
    if (found == nullptr) return fail("unknown option " + word);
    if (found->expected.empty()) {
      found->read("");
      continue;
    }
    if (i + 1 >= argc) return fail(word + " needs " + found->expected);
    if (!found->read(argv[++i])) return fail(word + " needs " + found->expected);
  }
  return kRun;
}

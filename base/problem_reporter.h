#ifndef VELUMORA_BASE_PROBLEM_REPORTER_H_
#define VELUMORA_BASE_PROBLEM_REPORTER_H_

// Where every step of reading a playlist tells each problem it finds, once:
// with the player's own lines for it, and with what a person needs to mend
// it (its place in the cleaned text, what is wrong, a hint). This base is
// the player's: it prints the lines on the console, as the player always
// has, keeps the rest to itself, and has the reading stop at the first
// failure. The checker's (PlaylistChecker) also shows each problem where it
// is in the file, and has the reading go on past a failure to find more.
// Called on the main thread during start-up and reloads.

#include <string>
#include <string_view>
#include <vector>

class ProblemReporter {
 public:
  enum class Kind { kError, kWarning };

  struct Problem {
    Kind kind = Kind::kError;
    // A view into the cleaned text where the problem begins; empty where
    // the problem has no place in it.
    std::string_view at;
    std::string what;
    // A hint, or empty.
    std::string note;
  };

  virtual ~ProblemReporter() = default;

  // Tells problem, then prints the lines the player says of it (none for a
  // slip only a person is told of).
  void report(const Problem& problem, const std::vector<std::string>& said = {});
  // A line the player prints of what it does about a problem told already,
  // such as "parameters set to default".
  void say(const std::string& line);

  // Whether a failed step is passed over so that later ones are tried.
  virtual bool keepGoing() const { return false; }

 protected:
  // Shows problem to a person; the player's own lines say all it says.
  virtual void locate(const Problem& problem) { (void)problem; }
};

#endif  // VELUMORA_BASE_PROBLEM_REPORTER_H_

#ifndef VELUMORA_BASE_PROBLEM_SINK_H_
#define VELUMORA_BASE_PROBLEM_SINK_H_

// Where the reading of a playlist tells what it finds wrong, at the place in
// the cleaned text where it is: the checker's way to point into the file.
// The player passes none, and every step that takes one behaves exactly as
// without it, except that with one it goes on after a failure to find
// further problems. A problem is told just before the program's own message
// for it, so the two can be shown together. Called on the main thread during
// start-up.

#include <string>
#include <string_view>

class ProblemSink {
 public:
  enum class Kind { kError, kWarning };

  virtual ~ProblemSink() = default;

  // at: a view into the cleaned text, where the problem begins (it may be
  // empty); what: what is wrong; note: a hint, or empty.
  virtual void report(Kind kind, std::string_view at, const std::string& what,
                      const std::string& note = std::string()) = 0;

  void error(std::string_view at, const std::string& what,
             const std::string& note = std::string()) {
    report(Kind::kError, at, what, note);
  }
  void warning(std::string_view at, const std::string& what, const std::string& note) {
    report(Kind::kWarning, at, what, note);
  }
};

#endif  // VELUMORA_BASE_PROBLEM_SINK_H_

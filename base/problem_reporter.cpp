#include "base/problem_reporter.h"

#include "base/console.h"

void ProblemReporter::report(const Problem& problem, const std::vector<std::string>& said) {
  // The place first: under --watch both reach the console, and the player's
  // line then reads as the consequence it is.
  locate(problem);
  for (const std::string& line : said) printLine(line);
}

void ProblemReporter::say(const std::string& line) { printLine(line); }

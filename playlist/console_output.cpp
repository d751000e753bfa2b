#include "playlist/console_output.h"

#include <cstdio>

void printLine(const std::string& text) {
  std::string line = text;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void printText(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

#include "base/console.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace {

std::atomic<bool> failed{false};

void writeOut(std::string_view text, bool flush) {
  if (failed.load(std::memory_order_relaxed)) return;
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (!written || (flush && std::fflush(stdout) != 0)) {
    failed.store(true, std::memory_order_relaxed);
    std::clearerr(stdout);
  }
}

}  // namespace

void printLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line += '\n';
  writeOut(line, true);
}

void printText(std::string_view text) { writeOut(text, true); }

bool consoleFailed() { return failed.load(std::memory_order_relaxed); }

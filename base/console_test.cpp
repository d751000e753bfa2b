// The console's writer, with standard output a pipe that is read late.

#include "base/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

std::string numbered(int i) { return "line " + std::to_string(i) + std::string(90, '.'); }

TEST(ConsoleOutput, AReaderThatFallsBehindIsAwaitedOrMissesLinesAsAsked) {
  // Twice what may wait, beside what the pipe holds.
  constexpr int kLines = 20000;
  for (const bool wait : {true, false}) {
    drainConsole();
    std::fflush(stdout);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const int saved = dup(1);
    dup2(pipe[1], 1);
    close(pipe[1]);
    waitForReaders(wait);
    std::atomic<bool> printed{false};
    std::string got;
    std::thread reader([&] {
      // Once all is printed, or after a second when printing waits for it.
      for (int i = 0; i < 100 && !printed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      char buffer[65536];
      ssize_t size;
      while ((size = read(pipe[0], buffer, sizeof buffer)) > 0) got.append(buffer, size);
    });
    for (int i = 0; i < kLines; ++i) printLine(numbered(i));
    printed = true;
    drainConsole();
    printLine("end");
    drainConsole();
    dup2(saved, 1);
    close(saved);
    reader.join();
    close(pipe[0]);
    waitForReaders(true);

    // The lines that got through, in order and whole, then what did not.
    int shown = 0;
    for (std::size_t at = 0; got.compare(at, 5, "line ") == 0; at = got.find('\n', at) + 1) ++shown;
    std::string expected;
    for (int i = 0; i < shown; ++i) expected += numbered(i) + "\n";
    if (shown < kLines) {
      expected += "(" + std::to_string(kLines - shown) +
                  " lines not shown: standard output was not read)\n";
    }
    EXPECT_EQ(got, expected + "end\n") << wait;
    EXPECT_EQ(shown < kLines, !wait);
  }
}

}  // namespace

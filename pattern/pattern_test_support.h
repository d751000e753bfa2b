#ifndef VELUMORA_PATTERN_PATTERN_TEST_SUPPORT_H_
#define VELUMORA_PATTERN_PATTERN_TEST_SUPPORT_H_

// Helpers shared by the pattern unit tests: a pattern object that records
// what happens to it, named patterns published as the current table, stdout
// capture around growth, and a way to make rand() yield a chosen value.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pattern/named_pattern.h"
#include "pattern/named_pattern_table.h"
#include "pattern/pattern_object.h"
#include "pattern/pause_clock.h"
#include "pattern/stop_flag.h"

namespace pattern_testing {

// Every play() of a Recorder appends its text here, in order.
inline std::vector<std::string>& playLog() {
  static std::vector<std::string> log;
  return log;
}

// How many Recorders exist right now.
inline int& liveRecorders() {
  static int count = 0;
  return count;
}

// A leaf that records its plays and positions; it can raise the stop flag
// when played, to stop whatever plays it from going on.
class Recorder : public PatternObject {
 public:
  explicit Recorder(const std::string& name, bool raisesStop = false)
      : PatternObject(name), raisesStop(raisesStop) {
    ++liveRecorders();
  }
  ~Recorder() override { --liveRecorders(); }

  bool growTree() override { return true; }
  void play() override {
    playLog().push_back(text);
    if (raisesStop) stopFlag = true;
  }
  void setPosition(int16_t angle, uint8_t distance) override {
    positions.emplace_back(angle, distance);
  }

  bool raisesStop;
  std::vector<std::pair<int16_t, uint8_t>> positions;
};

// Resets the process-wide state that patterns read, and owns the named
// patterns that a test publishes.
class PatternTest : public testing::Test {
 protected:
  void SetUp() override { resetShared(); }
  void TearDown() override {
    resetShared();
    named_.clear();
  }

  // Adds an entry whose pattern is a new Recorder and publishes the table.
  Recorder* addNamed(const std::string& name, bool raisesStop = false) {
    auto* recorder = new Recorder(name, raisesStop);
    named_.push_back(std::make_unique<NamedPattern>(name, recorder));
    std::vector<NamedPattern*> entries;
    for (const auto& entry : named_) entries.push_back(entry.get());
    currentNamedPatterns.publish(entries);
    return recorder;
  }

  // Grows node, returning its result and putting what it printed in output.
  static bool grow(PatternObject& node, std::string* output) {
    testing::internal::CaptureStdout();
    const bool grown = node.growTree();
    *output = testing::internal::GetCapturedStdout();
    return grown;
  }

 private:
  void resetShared() {
    stopFlag = false;
    playLog().clear();
    installPauseClock(nullptr);
    currentNamedPatterns.publish({});
  }

  std::vector<std::unique_ptr<NamedPattern>> named_;
};

// A seed after which the first rand() % modulus is wanted.
inline unsigned seedGiving(int64_t modulus, int64_t wanted) {
  for (unsigned seed = 1;; ++seed) {
    std::srand(seed);
    if (static_cast<int64_t>(std::rand()) % modulus == wanted) return seed;
  }
}

// The n-th value (0-based) that rand() gives after srand(seed).
inline int randAfter(unsigned seed, int n) {
  std::srand(seed);
  int value = 0;
  for (int i = 0; i <= n; ++i) value = std::rand();
  return value;
}

inline long long millisecondsTaken(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
}

}  // namespace pattern_testing

#endif  // VELUMORA_PATTERN_PATTERN_TEST_SUPPORT_H_

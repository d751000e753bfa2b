#ifndef VELUMORA_APP_CONTROL_SCRIPT_H_
#define VELUMORA_APP_CONTROL_SCRIPT_H_

// A control script for velumora-render: one command a line, after the time
// it takes effect, in seconds from the start of the render with up to six
// decimals ("12", "12.5", "0.023220"); the commands are ControlCommand's
// words but quit, which a render's --seconds stands for. Blank lines and
// lines that begin with # are comments. Lines may come in any order; those
// of one time keep theirs. `velumora --record-control` writes one.
//
// A command takes effect between two buffers of the live mix, as live: on
// the first buffer boundary (kStepFrames from the start) at or after its time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_command.h"

class ControlScript {
 public:
  // The longest render, and so the latest time.
  static constexpr uint64_t kLatestSeconds = 864000;

  struct Line {
    uint64_t microseconds = 0;
    ControlCommand command;
    int number = 0;  // the line of the file
  };

  // False with "name:line: what is wrong" in error.
  bool parse(std::string_view text, const std::string& name, std::string& error);
  // Reads the file at path and parses it.
  bool read(const std::string& path, std::string& error);

  // In order of time.
  const std::vector<Line>& lines() const { return lines_; }

  // The frame from the start on which the line takes effect, at rate, on
  // buffers of step frames.
  static uint64_t frameOf(const Line& line, int rate, uint64_t step);
  // Of the first `frames` frames from the start, how many the script leaves
  // paused.
  uint64_t pausedWithin(uint64_t frames, int rate, uint64_t step) const;

 private:
  std::vector<Line> lines_;
};

#endif  // VELUMORA_APP_CONTROL_SCRIPT_H_

#ifndef VELUMORA_PATTERN_STOP_FLAG_H_
#define VELUMORA_PATTERN_STOP_FLAG_H_

// The process-wide stop flag: false at start, raised once by the main thread
// at shutdown, read without a lock by every player and pattern before it
// plays or pauses. Nothing ever lowers it in the program (tests do).

#include <atomic>

extern std::atomic<bool> stopFlag;

inline bool stopRequested() { return stopFlag.load(std::memory_order_acquire); }

#endif  // VELUMORA_PATTERN_STOP_FLAG_H_

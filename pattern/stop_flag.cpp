#include "pattern/stop_flag.h"

std::atomic<bool> stopFlag{false};

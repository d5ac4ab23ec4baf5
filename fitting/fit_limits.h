#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace preisach::fitting {

// What ends a fit before its minimum: a number of iterations over all
// starts, a time, or a flag set from elsewhere (Ctrl-C); and how often a
// progress line is written (seconds between lines; 0: every iteration).
struct FitLimits {
  int maxIterations = 0;    // 0: no limit
  double maxSeconds = 0.0;  // 0: no limit
  const std::atomic<bool>* stop = nullptr;
  const char* stopCause = "an interrupt (Ctrl-C)";  // what sets `stop`, for "stopped by ..."
  double progressInterval = 0.0;
};

// Where a fit stands against its limits: its iterations so far, when it
// began and last wrote a line, and why it was stopped ("" while it runs).
struct FitClock {
  std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastLine{};
  int iterations = 0;
  std::string stopped;
};

}  // namespace preisach::fitting

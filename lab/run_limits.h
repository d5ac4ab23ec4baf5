#pragma once

#include <CLI/CLI.hpp>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace preisach::lab {

// A CLI11 check of a numeric option: the text must be one finite number
// within [lowest, highest] (above `lowest` when `lowestExcluded`); NaN and
// the infinities are refused by name, and the message repeats the text as
// given, never a number printed from it.
CLI::Validator finiteNumberIn(double lowest, double highest, const std::string& unit, bool lowestExcluded = false);

// The work of a run on the model: the number of field points it applies,
// each a sweep of the grid of m divisions (about m^2 / 2 cells).
struct Work {
  double fieldPoints = 0.0;
  std::int32_t m = 1;
  double cellUpdates() const { return fieldPoints * 0.5 * static_cast<double>(m) * static_cast<double>(m + 1); }
};

// The most cell updates one run may ask for: about ten minutes on one core
// of an ordinary machine (3e7 updates a second).
inline constexpr double kLargestCellUpdates = 2e10;

// Throws measured::DataError, naming `what` was asked and how to ask for
// less, when the work exceeds kLargestCellUpdates; nothing has been computed
// then.
void requireFeasible(const Work& work, const std::string& what);

// While it lives, a line "<what>: still working, N s" on standard error
// every few seconds, when `enabled`. For work that can take minutes.
class ProgressLines {
 public:
  ProgressLines(std::string what, bool enabled);
  ~ProgressLines();
  ProgressLines(const ProgressLines&) = delete;
  ProgressLines& operator=(const ProgressLines&) = delete;

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

// Progress lines are shown when standard error is a terminal or when the
// user asked for them.
bool progressWanted(bool asked);

}  // namespace preisach::lab

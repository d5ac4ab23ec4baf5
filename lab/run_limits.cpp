#include "lab/run_limits.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "measured/data_error.h"

namespace preisach::lab {

namespace {

std::string shortNumber(double value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

}  // namespace

CLI::Validator finiteNumberIn(double lowest, double highest, const std::string& unit, bool lowestExcluded) {
  const std::string range = (lowestExcluded ? "above " : "from ") + shortNumber(lowest) +
                            (lowestExcluded ? " and at most " : " to ") + shortNumber(highest) +
                            (unit.empty() ? "" : " " + unit);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size()) return "\"" + text + "\" is not a number " + range;
        if (std::isnan(value)) return "\"" + text + "\" is not a number (NaN); give a number " + range;
        if (std::isinf(value)) return "\"" + text + "\" is infinite; give a number " + range;
        if (value < lowest || value > highest || (lowestExcluded && value == lowest))
          return text + " lies outside the range: give a number " + range;
        return std::string();
      },
      "NUMBER " + range);
}

void requireFeasible(const Work& work, const std::string& what) {
  if (work.cellUpdates() <= kLargestCellUpdates) return;
  std::ostringstream s;
  s << what << " asks for " << work.fieldPoints << " field points on a grid of m = " << work.m
    << " divisions, more than the limit of " << kLargestCellUpdates
    << " grid cell updates (points x m (m + 1) / 2) of one run; ask for fewer points or a smaller m";
  throw measured::DataError(s.str());
}

ProgressLines::ProgressLines(std::string what, bool enabled) : what_(std::move(what)) {
  if (!enabled) return;
  thread_ = std::thread([this] {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; })) {
      const auto seconds =
          std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
      std::cerr << what_ << ": still working, " << seconds << " s" << std::endl;
    }
  });
}

ProgressLines::~ProgressLines() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool progressWanted(bool asked) {
  return asked || isatty(STDERR_FILENO) == 1;
}

}  // namespace preisach::lab

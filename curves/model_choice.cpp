#include "curves/model_choice.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

namespace preisach::curves {

ModelChoice modelChoice(const std::string& name, double tolerance, std::int32_t m) {
  ModelChoice choice;
  if (name == "grid")
    choice.evaluator = Evaluator::Grid;
  else if (name != "continuum")
    throw std::invalid_argument("--model must be continuum or grid, not \"" + name + "\"");
  if (!std::isfinite(tolerance) || !(tolerance >= kSmallestTolerance) || !(tolerance < 1.0)) {
    std::ostringstream reason;
    reason << "--tol must be a relative tolerance from 1e-14 up to (not including) 1, not " << tolerance;
    throw std::invalid_argument(reason.str());
  }
  choice.tolerance = tolerance;
  choice.m = m;
  return choice;
}

std::string describe(const ModelChoice& choice) {
  std::ostringstream text;
  if (choice.evaluator == Evaluator::Grid)
    text << "grid of m = " << choice.m << " divisions (the program's arithmetic)";
  else
    text << "continuum limit, relative tolerance " << choice.tolerance;
  return text.str();
}

}  // namespace preisach::curves

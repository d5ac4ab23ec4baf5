#include "curves/model_choice.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

namespace preisach::curves {

namespace {

// A name for a message: printable ASCII, cut to 80 characters.
std::string printable(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, 80)) shown += c >= 0x20 && c < 0x7F ? c : '?';
  return shown + (text.size() > 80 ? "..." : "");
}

}  // namespace

ModelChoice modelChoice(const std::string& name, double tolerance, std::int32_t m) {
  ModelChoice choice;
  if (name == "grid")
    choice.evaluator = Evaluator::Grid;
  else if (name != "continuum")
    throw std::invalid_argument("--model: \"" + printable(name) + "\" is neither continuum nor grid");
  if (!std::isfinite(tolerance) || !(tolerance >= kSmallestTolerance) || !(tolerance <= 1.0)) {
    std::ostringstream reason;
    reason << "--tol: " << tolerance
           << " is not a relative tolerance from 1e-14 (finer than double arithmetic can sum the integrals) up to 1";
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

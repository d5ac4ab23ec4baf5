#pragma once

#include <cstdint>
#include <string>

namespace preisach::curves {

// Which evaluation of the model a curve comes from: the program's grid
// (its sums over a grid of m divisions, bit for bit the program's values,
// converging to the model as 1/m) or the model's continuum limit (every
// integral by one-dimensional quadrature to a relative tolerance).
enum class Evaluator { Continuum, Grid };

struct ModelChoice {
  Evaluator evaluator = Evaluator::Continuum;
  double tolerance = 1e-10;  // continuum: relative, of the normalisation integral
  std::int32_t m = 0;        // grid: divisions per axis before refinement
};

// The smallest relative tolerance asked of the quadrature: below it the
// rounding of double precision, not the rule, sets the error.
inline constexpr double kSmallestTolerance = 1e-14;

// The choice named "continuum" or "grid", with the tolerance of the
// continuum and the grid's m. Throws std::invalid_argument with a one-line
// reason for another name or a tolerance that is not a finite number in
// [1e-14, 1].
ModelChoice modelChoice(const std::string& name, double tolerance, std::int32_t m);

// "continuum limit, relative tolerance 1e-10" or "grid of m = 50 divisions
// (the program's arithmetic)", for headers and reports.
std::string describe(const ModelChoice& choice);

}  // namespace preisach::curves

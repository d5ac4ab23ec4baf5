#pragma once

#include <ceres/ceres.h>

#include <string>
#include <vector>

#include "fitting/least_squares.h"

namespace preisach::fitting {

// A combination of the free parameters that the data do not determine: the
// weakest right singular vector of the Jacobian in relative units
// (d p_j / p_j), with its singular value (the change of the weighted
// residuals for a unit relative step along it).
struct WeakDirection {
  std::vector<double> direction;
  double singularValue = 0.0;
};

// What the data say about the parameters at a point x (scaled coordinates).
struct LocalAnalysis {
  bool evaluated = false;
  double chiSquare = 0.0;
  // The decrease of chi-square a Gauss-Newton step would still bring
  // (directions held by a bound left out): small at a minimum.
  double newtonDecrement = 0.0;
  bool atMinimum = false;
  std::vector<bool> held;                       // at a bound with the gradient pushing out
  std::vector<std::vector<double>> covariance;  // of the scaled x, the undetermined directions left out
  std::vector<double> errors;                   // of the scaled x; NaN where not determined
  std::vector<std::vector<double>> fisher;      // J^T J of the scaled x
  std::vector<WeakDirection> undetermined;
  double conditionNumber = 0.0;  // of the Jacobian with unit columns
};

// `chiSquareUnit`: the chi-square change that is one standard error: 1 with
// the data's own errors, the reduced chi-square with uniform weights.
// `modelAccuracy`: the model's relative accuracy, which bounds how well
// chi-square is known (0: exact).
LocalAnalysis analyse(const ceres::CostFunction& cost,
                      const Scaling& scaling,
                      const std::vector<double>& x,
                      double chiSquareUnit,
                      double modelAccuracy = 0.0);

// The chi-square change, to second order, between two points x and y,
// with the Fisher matrix of one of them.
double predictedChiSquareChange(const std::vector<std::vector<double>>& fisher,
                                const std::vector<double>& x,
                                const std::vector<double>& y);

// "the data fix 0.71·dN/N + 0.70·dmu0/mu0 (the product N·mu0) but not N and
// mu0 apart" and the like, for a report.
std::string describeUndetermined(const WeakDirection& weak, const std::vector<std::string>& names);

// The parameters that take part in a weak direction.
bool takesPart(const WeakDirection& weak, std::size_t j);

}  // namespace preisach::fitting

#pragma once

#include <ceres/ceres.h>

#include <memory>
#include <vector>

#include "fitting/least_squares.h"

namespace preisach::fitting {

// The model's continuum limit at every point of every dataset: the ZFC/FC
// moments in each dataset's field (the rectangle that T_max sets), the loop
// at each dataset's temperature over Ha_max; every integral to `tolerance`
// relative to the density's whole weight.
std::vector<std::vector<double>> continuumCurves(const model::ModelParameters& p,
                                                 const std::vector<Dataset>& data,
                                                 double tolerance);

// The weighted residuals of the continuum at the scaled coordinates, with
// the Jacobian from automatic differentiation (the evaluator on Jets).
std::unique_ptr<ceres::CostFunction> continuumCost(const Scaling& scaling,
                                                   const std::vector<Dataset>& data,
                                                   double tolerance);

}  // namespace preisach::fitting

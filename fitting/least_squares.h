#pragma once

#include <ceres/ceres.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fitting/fit_limits.h"
#include "fitting/free_parameters.h"
#include "fitting/model_curves.h"

namespace preisach::fitting {

// The fit works in scaled coordinates x = p / scale, the scale being the
// parameter's starting magnitude, so that every coordinate is of order 1
// (mu0 is 1e-15 emu, hc0_mean hundreds of oersted).
class Scaling {
 public:
  Scaling(const model::ModelParameters& start, std::vector<FreeParameter> free);

  std::size_t size() const { return free_.size(); }
  double scale(std::size_t j) const { return scale_[j]; }
  double lower(std::size_t j) const { return free_[j].lower / scale_[j]; }
  double upper(std::size_t j) const { return free_[j].upper / scale_[j]; }
  const std::vector<FreeParameter>& free() const { return free_; }
  const model::ModelParameters& start() const { return start_; }
  std::vector<double> startPoint() const;

  // The physics at x: each free value rounded to float32, as the parameter
  // file holds it.
  model::ModelParameters at(const double* x) const;
  std::vector<double> physical(const std::vector<double>& x) const;

 private:
  model::ModelParameters start_;
  std::vector<FreeParameter> free_;
  std::vector<double> scale_;
};

// (model - data) / sigma of every point of every dataset, in order.
std::vector<double> weightedResiduals(const std::vector<std::vector<double>>& model, const std::vector<Dataset>& data);

std::size_t pointCount(const std::vector<Dataset>& data);

// The residuals of the program's grid model at m and their Jacobian by
// central differences with steps measured on the model (see the .cpp):
// the grid sums are piecewise constant in the parameters on a fine scale.
std::unique_ptr<ceres::CostFunction> gridCost(const Scaling& scaling,
                                              const std::vector<Dataset>& data,
                                              std::int32_t m,
                                              unsigned threads,
                                              const std::vector<double>& steps);

// The relative finite-difference step of each parameter for gridCost,
// measured on the grid model at x.
std::vector<double> measureGridSteps(const Scaling& scaling,
                                     const std::vector<Dataset>& data,
                                     std::int32_t m,
                                     unsigned threads,
                                     const std::vector<double>& x);

// One bounded Levenberg-Marquardt descent from x.
struct Descent {
  std::vector<double> x;
  double chiSquare = 0.0;
  int iterations = 0;
  bool usable = false;
  std::string termination;
};

// How a descent runs: `tolerance`, the relative change of chi-square and of
// x at which it ends; a line per iteration on `progress` (when given),
// numbered by the start.
struct DescentSettings {
  double tolerance = 0.0;
  std::ostream* progress = nullptr;
  int startNumber = 0;
  // The limits of the whole fit and where it stands against them (shared
  // by every descent of the fit); nullptr for none.
  const FitLimits* limits = nullptr;
  FitClock* clock = nullptr;
  // The model's relative accuracy (the continuum's tolerance, the grid's
  // float32 jitter): chi-square is known no better than that.
  double modelAccuracy = 0.0;
};

// `held`: coordinates kept where they are (at a bound the gradient pushes
// against); empty for none.
Descent descend(ceres::CostFunction& cost,
                const Scaling& scaling,
                std::vector<double> x,
                const std::vector<bool>& held,
                const DescentSettings& settings);

}  // namespace preisach::fitting

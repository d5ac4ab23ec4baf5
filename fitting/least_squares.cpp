#include "fitting/least_squares.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>

namespace preisach::fitting {

namespace {

double norm(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x * x;
  return std::sqrt(s);
}

// The grid model's residuals at many points x at once (all cores).
std::vector<std::vector<double>> gridResiduals(const Scaling& scaling,
                                               const std::vector<Dataset>& data,
                                               std::int32_t m,
                                               unsigned threads,
                                               const std::vector<std::vector<double>>& xs) {
  std::vector<parameters::ParameterSet> sets;
  for (const std::vector<double>& x : xs) sets.push_back(gridParameters(scaling.at(x.data()), m));
  const std::vector<std::vector<std::vector<double>>> curves = modelCurves(sets, data, threads);
  std::vector<std::vector<double>> all;
  for (const std::vector<std::vector<double>>& curve : curves) all.push_back(weightedResiduals(curve, data));
  return all;
}

// Central differences, the 2k + 1 evaluations of one Jacobian together. A
// step that would leave the bounds is taken on one side only.
class GridCost : public ceres::CostFunction {
 public:
  GridCost(const Scaling& scaling,
           const std::vector<Dataset>& data,
           std::int32_t m,
           unsigned threads,
           std::vector<double> steps)
      : scaling_(scaling), data_(data), m_(m), threads_(threads), steps_(std::move(steps)) {
    set_num_residuals(static_cast<int>(pointCount(data)));
    mutable_parameter_block_sizes()->push_back(static_cast<int>(scaling.size()));
  }

  bool Evaluate(double const* const* parameters, double* residuals, double** jacobians) const override {
    const std::size_t k = scaling_.size();
    const std::vector<double> x(parameters[0], parameters[0] + k);
    std::vector<std::vector<double>> xs{x};
    const bool wantJacobian = jacobians != nullptr && jacobians[0] != nullptr;
    for (std::size_t j = 0; wantJacobian && j < k; ++j) {
      const double h = steps_[j] * std::max(std::fabs(x[j]), 1e-3);
      std::vector<double> plus = x, minus = x;
      plus[j] = std::min(x[j] + h, scaling_.upper(j));
      minus[j] = std::max(x[j] - h, scaling_.lower(j));
      xs.push_back(plus);
      xs.push_back(minus);
    }
    const std::vector<std::vector<double>> r = gridResiduals(scaling_, data_, m_, threads_, xs);
    const std::size_t n = r[0].size();
    for (std::size_t i = 0; i < n; ++i) {
      if (!std::isfinite(r[0][i])) return false;  // the step leaves the model's domain
      residuals[i] = r[0][i];
    }
    for (std::size_t j = 0; wantJacobian && j < k; ++j) {
      const double width = xs[1 + 2 * j][j] - xs[2 + 2 * j][j];
      for (std::size_t i = 0; i < n; ++i) {
        const double d = width > 0.0 ? (r[1 + 2 * j][i] - r[2 + 2 * j][i]) / width : 0.0;
        jacobians[0][i * k + j] = std::isfinite(d) ? d : 0.0;
      }
    }
    return true;
  }

 private:
  const Scaling& scaling_;
  const std::vector<Dataset>& data_;
  std::int32_t m_;
  unsigned threads_;
  std::vector<double> steps_;
};

// After each iteration: the progress line (at most one per the limits'
// interval) and the fit's limits, which end the descent at its current
// point when reached.
class IterationWatch : public ceres::IterationCallback {
 public:
  explicit IterationWatch(const DescentSettings& settings) : settings_(settings) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& s) override {
    const auto now = std::chrono::steady_clock::now();
    FitClock* clock = settings_.clock;
    const FitLimits* limits = settings_.limits;
    const double interval = limits != nullptr ? limits->progressInterval : 0.0;
    // The first line of the fit, then at most one per interval, whichever
    // descent is running.
    const bool lineDue = clock == nullptr || interval <= 0.0 || clock->lastLine == FitClock{}.lastLine ||
                         std::chrono::duration<double>(now - clock->lastLine).count() >= interval;
    if (settings_.progress != nullptr && lineDue) {
      *settings_.progress << "fit: start " << settings_.startNumber << ", iteration " << s.iteration << ": chi-square "
                          << std::setprecision(9) << 2.0 * s.cost << std::setprecision(6)
                          << (s.step_is_successful ? "" : " (step rejected)") << ", step " << s.step_norm << std::endl;
      if (clock != nullptr) clock->lastLine = now;
    }
    if (clock == nullptr || limits == nullptr) return ceres::SOLVER_CONTINUE;
    if (s.iteration > 0) ++clock->iterations;
    const double seconds = std::chrono::duration<double>(now - clock->began).count();
    if (limits->stop != nullptr && limits->stop->load())
      clock->stopped = std::string("stopped by ") + limits->stopCause;
    else if (limits->maxIterations > 0 && clock->iterations >= limits->maxIterations)
      clock->stopped = "stopped at the limit of " + std::to_string(limits->maxIterations) +
                       (limits->maxIterations == 1 ? " iteration" : " iterations");
    else if (limits->maxSeconds > 0.0 && seconds >= limits->maxSeconds)
      clock->stopped = "stopped at the time limit of " + formattedSeconds(limits->maxSeconds);
    return clock->stopped.empty() ? ceres::SOLVER_CONTINUE : ceres::SOLVER_TERMINATE_SUCCESSFULLY;
  }

 private:
  static std::string formattedSeconds(double seconds) {
    std::ostringstream text;
    text << seconds << " s";
    return text.str();
  }
  const DescentSettings& settings_;
};

}  // namespace

Scaling::Scaling(const model::ModelParameters& start, std::vector<FreeParameter> free)
    : start_(start), free_(std::move(free)) {
  // A field that starts at 0 (km, s) without bounds is measured against the
  // width of the interaction fields, the field scale it competes with.
  for (const FreeParameter& f : free_) {
    double scale = std::fabs(f.valueIn(start_));
    if (scale == 0.0 && std::isfinite(f.upper - f.lower)) scale = std::max(std::fabs(f.lower), std::fabs(f.upper));
    if (scale == 0.0 && std::string(f.parameter->unit) == "Oe") scale = std::fabs(static_cast<double>(start_.sigmai0));
    if (scale == 0.0) scale = 1.0;
    scale_.push_back(scale);
  }
}

std::vector<double> Scaling::startPoint() const {
  std::vector<double> x;
  for (std::size_t j = 0; j < free_.size(); ++j) x.push_back(free_[j].valueIn(start_) / scale_[j]);
  return x;
}

model::ModelParameters Scaling::at(const double* x) const {
  model::ModelParameters p = start_;
  for (std::size_t j = 0; j < free_.size(); ++j) p.*(free_[j].parameter->member) = static_cast<float>(x[j] * scale_[j]);
  return p;
}

std::vector<double> Scaling::physical(const std::vector<double>& x) const {
  std::vector<double> p(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) p[j] = static_cast<double>(static_cast<float>(x[j] * scale_[j]));
  return p;
}

std::vector<double> weightedResiduals(const std::vector<std::vector<double>>& model, const std::vector<Dataset>& data) {
  std::vector<double> r;
  for (std::size_t d = 0; d < data.size(); ++d)
    for (std::size_t k = 0; k < data[d].curve.size(); ++k)
      r.push_back((model[d][k] - data[d].curve.moment[k]) / data[d].sigma[k]);
  return r;
}

std::size_t pointCount(const std::vector<Dataset>& data) {
  std::size_t n = 0;
  for (const Dataset& d : data) n += d.curve.size();
  return n;
}

std::unique_ptr<ceres::CostFunction> gridCost(const Scaling& scaling,
                                              const std::vector<Dataset>& data,
                                              std::int32_t m,
                                              unsigned threads,
                                              const std::vector<double>& steps) {
  return std::make_unique<GridCost>(scaling, data, m, threads, steps);
}

// The grid model reaches its parameters rounded to float32, and a change of
// mu0, Tc or the exponents moves region boundaries across grid nodes, so it
// is piecewise constant on a scale set by the rounding and the grid. Below
// that scale a difference quotient measures jumps, not slope. The
// derivative is taken with relative steps 1e-5 ... 1e-1; the step chosen is
// the smallest whose derivative agrees within 2 % with the one at ten times
// the step (the slope has emerged from the jumps and curvature does not yet
// bend it); without such a step, the one whose derivative changes least.
std::vector<double> measureGridSteps(const Scaling& scaling,
                                     const std::vector<Dataset>& data,
                                     std::int32_t m,
                                     unsigned threads,
                                     const std::vector<double>& x) {
  const double deltas[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1};
  constexpr std::size_t kDeltas = sizeof deltas / sizeof deltas[0];
  const std::size_t k = scaling.size();
  std::vector<std::vector<double>> xs;
  for (std::size_t j = 0; j < k; ++j)
    for (double delta : deltas)
      for (double sign : {1.0, -1.0}) {
        std::vector<double> moved = x;
        moved[j] += sign * delta * std::max(std::fabs(x[j]), 1e-3);
        xs.push_back(moved);
      }
  const std::vector<std::vector<double>> r = gridResiduals(scaling, data, m, threads, xs);
  std::vector<double> steps(k, 1e-3);
  for (std::size_t j = 0; j < k; ++j) {
    std::vector<std::vector<double>> derivative(kDeltas);
    for (std::size_t d = 0; d < kDeltas; ++d) {
      const std::vector<double>& plus = r[2 * (j * kDeltas + d)];
      const std::vector<double>& minus = r[2 * (j * kDeltas + d) + 1];
      for (std::size_t i = 0; i < plus.size(); ++i) derivative[d].push_back((plus[i] - minus[i]) / (2 * deltas[d]));
    }
    double leastChange = std::numeric_limits<double>::infinity();
    for (std::size_t d = 0; d + 1 < kDeltas; ++d) {
      std::vector<double> difference(derivative[d].size());
      for (std::size_t i = 0; i < difference.size(); ++i) difference[i] = derivative[d][i] - derivative[d + 1][i];
      const double change = norm(difference) / std::max(norm(derivative[d + 1]), 1e-300);
      if (!std::isfinite(change)) continue;
      if (change < 0.02) {
        steps[j] = deltas[d];
        break;
      }
      if (change < leastChange) leastChange = change, steps[j] = deltas[d];
    }
  }
  return steps;
}

Descent descend(ceres::CostFunction& cost,
                const Scaling& scaling,
                std::vector<double> x,
                const std::vector<bool>& held,
                const DescentSettings& settings) {
  const double tolerance = settings.tolerance;
  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
  ceres::Problem problem(problemOptions);
  problem.AddResidualBlock(&cost, nullptr, x.data());
  for (std::size_t j = 0; j < scaling.size(); ++j) {
    if (std::isfinite(scaling.lower(j)))
      problem.SetParameterLowerBound(x.data(), static_cast<int>(j), scaling.lower(j));
    if (std::isfinite(scaling.upper(j)))
      problem.SetParameterUpperBound(x.data(), static_cast<int>(j), scaling.upper(j));
  }
  // Ceres projects its steps on the bounds, which crawls along a bound that
  // a correlated parameter presses against; held there, the rest descend
  // freely.
  std::vector<int> constant;
  for (std::size_t j = 0; j < held.size(); ++j)
    if (held[j]) constant.push_back(static_cast<int>(j));
  if (!constant.empty() && constant.size() < scaling.size())
    problem.SetManifold(x.data(), new ceres::SubsetManifold(static_cast<int>(scaling.size()), constant));
  ceres::Solver::Options options;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = 200;
  // Whether the end is a minimum is decided afterwards from the gradient
  // (see uncertainty.cpp), not from these.
  options.function_tolerance = tolerance;
  options.parameter_tolerance = tolerance;
  options.gradient_tolerance = 1e-14;
  options.num_threads = 1;
  options.logging_type = ceres::SILENT;
  IterationWatch watch(settings);
  options.callbacks.push_back(&watch);
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  Descent d;
  d.x = x;
  d.chiSquare = 2.0 * summary.final_cost;
  // summary.iterations holds the start (iteration 0) and each step after it.
  d.iterations = std::max(0, static_cast<int>(summary.iterations.size()) - 1);
  d.usable = summary.IsSolutionUsable() && std::isfinite(d.chiSquare);
  d.termination = summary.message;
  return d;
}

}  // namespace preisach::fitting

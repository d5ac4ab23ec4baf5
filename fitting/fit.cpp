#include "fitting/fit.h"

#include <ceres/ceres.h>
#include <ceres/covariance.h>

#include <Eigen/Dense>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <memory>
#include <sstream>

#include "measured/data_error.h"
#include "model/grid.h"

namespace preisach::fitting {

namespace {

using parameters::ParameterSet;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Below a tenth of the data's error the grid's error is left out of the weights.
constexpr double kGridErrorInWeights = 0.1;

// ---- the least-squares problem ----------------------------------------------

// The fit works in scaled coordinates x = p / scale, the scale being the
// parameter's starting magnitude, so that every coordinate is of order 1
// (mu0 is 1e-15 emu, hc0_mean hundreds of oersted).
class LeastSquares {
 public:
  LeastSquares(const ParameterSet& start,
               const std::vector<Dataset>& data,
               const std::vector<FreeParameter>& free,
               unsigned threads)
      : start_(start), data_(data), free_(free), threads_(threads) {
    for (const FreeParameter& f : free_) {
      const double value = static_cast<double>(start_.*(f.value->member));
      double scale = std::fabs(value);
      if (scale == 0.0)
        scale = std::isfinite(f.upper - f.lower) ? std::max(std::fabs(f.lower), std::fabs(f.upper)) : 1.0;
      if (scale == 0.0) scale = 1.0;
      scale_.push_back(scale);
    }
    for (const Dataset& d : data_) points_ += d.curve.size();
  }

  std::size_t size() const { return free_.size(); }
  std::size_t points() const { return points_; }
  double scale(std::size_t j) const { return scale_[j]; }
  double lower(std::size_t j) const { return free_[j].lower / scale_[j]; }
  double upper(std::size_t j) const { return free_[j].upper / scale_[j]; }
  int evaluations() const { return evaluations_; }

  // The parameter set at x: each free value rounded to float32, as the
  // parameter file holds it.
  ParameterSet at(const std::vector<double>& x) const {
    ParameterSet p = start_;
    for (std::size_t j = 0; j < free_.size(); ++j) p.*(free_[j].value->member) = static_cast<float>(x[j] * scale_[j]);
    return p;
  }

  std::vector<double> physical(const std::vector<double>& x) const {
    std::vector<double> p(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) p[j] = static_cast<double>(static_cast<float>(x[j] * scale_[j]));
    return p;
  }

  // (model - data) / sigma at every point, for every x, computed together.
  std::vector<std::vector<double>> residuals(const std::vector<std::vector<double>>& xs) const {
    std::vector<ParameterSet> sets;
    for (const std::vector<double>& x : xs) sets.push_back(at(x));
    const std::vector<std::vector<std::vector<double>>> curves = modelCurves(sets, data_, threads_);
    evaluations_ += static_cast<int>(xs.size());
    std::vector<std::vector<double>> all;
    for (const std::vector<std::vector<double>>& curve : curves) {
      std::vector<double> r;
      for (std::size_t d = 0; d < data_.size(); ++d)
        for (std::size_t k = 0; k < data_[d].curve.size(); ++k)
          r.push_back((curve[d][k] - data_[d].curve.moment[k]) / data_[d].sigma[k]);
      all.push_back(std::move(r));
    }
    return all;
  }

  std::vector<std::vector<double>> model(const std::vector<double>& x) const {
    return modelCurves({at(x)}, data_, threads_)[0];
  }

 private:
  const ParameterSet& start_;
  const std::vector<Dataset>& data_;
  std::vector<FreeParameter> free_;
  unsigned threads_;
  std::vector<double> scale_;
  std::size_t points_ = 0;
  mutable int evaluations_ = 0;
};

// The residuals and their Jacobian by central differences; the 2k + 1
// evaluations of one Jacobian run together on all cores. A step that would
// leave the bounds is taken on one side only.
class FiniteDifferenceCost : public ceres::CostFunction {
 public:
  FiniteDifferenceCost(const LeastSquares& problem, std::vector<double> steps)
      : problem_(problem), steps_(std::move(steps)) {
    set_num_residuals(static_cast<int>(problem.points()));
    mutable_parameter_block_sizes()->push_back(static_cast<int>(problem.size()));
  }

  bool Evaluate(double const* const* parameters, double* residuals, double** jacobians) const override {
    const std::size_t k = problem_.size();
    const std::vector<double> x(parameters[0], parameters[0] + k);
    std::vector<std::vector<double>> xs{x};
    const bool wantJacobian = jacobians != nullptr && jacobians[0] != nullptr;
    std::vector<double> h(k);
    if (wantJacobian) {
      for (std::size_t j = 0; j < k; ++j) {
        h[j] = steps_[j] * std::max(std::fabs(x[j]), 1e-3);
        std::vector<double> plus = x, minus = x;
        plus[j] = std::min(x[j] + h[j], problem_.upper(j));
        minus[j] = std::max(x[j] - h[j], problem_.lower(j));
        xs.push_back(plus);
        xs.push_back(minus);
      }
    }
    const std::vector<std::vector<double>> r = problem_.residuals(xs);
    const std::size_t n = problem_.points();
    for (std::size_t i = 0; i < n; ++i) {
      if (!std::isfinite(r[0][i])) return false;  // the step leaves the model's domain
      residuals[i] = r[0][i];
    }
    if (!wantJacobian) return true;
    for (std::size_t j = 0; j < k; ++j) {
      const double width = xs[1 + 2 * j][j] - xs[2 + 2 * j][j];
      for (std::size_t i = 0; i < n; ++i) {
        const double d = width > 0.0 ? (r[1 + 2 * j][i] - r[2 + 2 * j][i]) / width : 0.0;
        jacobians[0][i * k + j] = std::isfinite(d) ? d : 0.0;
      }
    }
    return true;
  }

 private:
  const LeastSquares& problem_;
  std::vector<double> steps_;
};

double norm(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x * x;
  return std::sqrt(s);
}

// The finite-difference step of each parameter, measured on the model. The
// model is a grid sum: its parameters reach it rounded to float32, and a
// change of mu0, Tc or the exponents moves the region boundaries across grid
// nodes, so it is piecewise constant on a scale set by the float32 rounding
// and the grid. Below that scale a difference quotient measures jumps, not
// slope. The derivative is taken with relative steps 1e-5 ... 1e-1; the step
// chosen is the smallest whose derivative agrees within 2 % with the one at
// ten times the step (the slope has emerged from the jumps and curvature
// does not yet bend it); without such a step, the one whose derivative
// changes least. The jitter is the second difference at a step of 1e-6, in
// units of the data's sigma.
void measureSteps(const LeastSquares& problem,
                  const std::vector<double>& x,
                  std::vector<double>& steps,
                  std::vector<double>& noise) {
  const double deltas[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1};
  constexpr std::size_t kDeltas = sizeof deltas / sizeof deltas[0];
  const std::size_t k = problem.size();
  std::vector<std::vector<double>> xs{x};
  for (std::size_t j = 0; j < k; ++j)
    for (double delta : deltas) {
      const double h = delta * std::max(std::fabs(x[j]), 1e-3);
      std::vector<double> plus = x, minus = x;
      plus[j] += h;
      minus[j] -= h;
      xs.push_back(plus);
      xs.push_back(minus);
    }
  const std::vector<std::vector<double>> r = problem.residuals(xs);
  steps.assign(k, 1e-3);
  noise.assign(k, 0.0);
  for (std::size_t j = 0; j < k; ++j) {
    std::vector<std::vector<double>> derivative(kDeltas);
    for (std::size_t d = 0; d < kDeltas; ++d) {
      const std::vector<double>& plus = r[1 + 2 * (j * kDeltas + d)];
      const std::vector<double>& minus = r[2 + 2 * (j * kDeltas + d)];
      for (std::size_t i = 0; i < plus.size(); ++i) derivative[d].push_back((plus[i] - minus[i]) / (2 * deltas[d]));
      if (d == 0) {
        double jitter = 0.0;
        for (std::size_t i = 0; i < plus.size(); ++i) jitter += std::pow(0.5 * (plus[i] + minus[i] - 2 * r[0][i]), 2);
        noise[j] = std::sqrt(jitter / static_cast<double>(std::max<std::size_t>(plus.size(), 1)));
      }
    }
    double leastChange = kInfinity;
    bool found = false;
    for (std::size_t d = 1; d + 1 < kDeltas && !found; ++d) {
      std::vector<double> difference(derivative[d].size());
      for (std::size_t i = 0; i < difference.size(); ++i) difference[i] = derivative[d][i] - derivative[d + 1][i];
      const double change = norm(difference) / std::max(norm(derivative[d + 1]), 1e-300);
      if (!std::isfinite(change)) continue;
      if (change < 0.02) {
        steps[j] = deltas[d];
        found = true;
      } else if (change < leastChange) {
        leastChange = change;
        steps[j] = deltas[d];
      }
    }
  }
}

// Spread points of [0, 1)^k: the Halton sequence in the first primes.
std::vector<double> halton(int index, std::size_t dimensions) {
  static const int primes[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43};
  std::vector<double> point(dimensions);
  for (std::size_t d = 0; d < dimensions; ++d) {
    const int base = primes[d % 14];
    double f = 1.0, value = 0.0;
    for (int i = index; i > 0; i /= base) {
      f /= base;
      value += f * (i % base);
    }
    point[d] = value;
  }
  return point;
}

class ProgressLine : public ceres::IterationCallback {
 public:
  ProgressLine(std::ostream* out, int start) : out_(out), start_(start) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& s) override {
    if (out_ != nullptr)
      *out_ << "fit: start " << start_ << ", iteration " << s.iteration << ": chi-square " << std::setprecision(9)
            << 2.0 * s.cost << std::setprecision(6) << (s.step_is_successful ? "" : " (step rejected)") << ", step "
            << s.step_norm << std::endl;
    return ceres::SOLVER_CONTINUE;
  }

 private:
  std::ostream* out_;
  int start_;
};

struct Solved {
  std::vector<double> x;
  double chiSquare = kInfinity;
  bool converged = false;
  int iterations = 0;
  std::string termination;
  std::vector<std::vector<double>> covariance;  // of x; empty when not computed
};

Solved solveFrom(const LeastSquares& problem,
                 std::vector<double> x,
                 const std::vector<double>& steps,
                 std::ostream* progress,
                 int startNumber) {
  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem ceresProblem(problemOptions);
  ceresProblem.AddResidualBlock(new FiniteDifferenceCost(problem, steps), nullptr, x.data());
  for (std::size_t j = 0; j < problem.size(); ++j) {
    if (std::isfinite(problem.lower(j)))
      ceresProblem.SetParameterLowerBound(x.data(), static_cast<int>(j), problem.lower(j));
    if (std::isfinite(problem.upper(j)))
      ceresProblem.SetParameterUpperBound(x.data(), static_cast<int>(j), problem.upper(j));
  }
  ceres::Solver::Options options;
  options.minimizer_type = ceres::TRUST_REGION;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = 100;
  // The model's float32 parameters and grid make chi-square jitter at about
  // 1e-7 of itself: a relative change below 1e-6 is convergence (far below
  // the change of 1 that matters statistically).
  options.function_tolerance = 1e-6;
  options.parameter_tolerance = 1e-7;
  options.gradient_tolerance = 1e-12;
  options.num_threads = 1;  // the model evaluations use the cores
  options.logging_type = ceres::SILENT;
  ProgressLine line(progress, startNumber);
  options.callbacks.push_back(&line);
  ceres::Solver::Summary summary;
  ceres::Solve(options, &ceresProblem, &summary);

  Solved solved;
  solved.x = x;
  solved.chiSquare = 2.0 * summary.final_cost;
  solved.converged = summary.termination_type == ceres::CONVERGENCE;
  solved.iterations = static_cast<int>(summary.iterations.size());
  solved.termination = summary.message;
  if (!summary.IsSolutionUsable()) return solved;

  // The covariance by dense SVD: a rank-deficient Jacobian drops its null
  // space instead of failing.
  ceres::Covariance::Options covarianceOptions;
  covarianceOptions.algorithm_type = ceres::DENSE_SVD;
  covarianceOptions.null_space_rank = -1;
  covarianceOptions.num_threads = 1;
  ceres::Covariance covariance(covarianceOptions);
  std::vector<std::pair<const double*, const double*>> blocks{{x.data(), x.data()}};
  if (covariance.Compute(blocks, &ceresProblem)) {
    const std::size_t k = problem.size();
    std::vector<double> c(k * k);
    if (covariance.GetCovarianceBlock(x.data(), x.data(), c.data())) {
      solved.covariance.assign(k, std::vector<double>(k));
      for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = 0; j < k; ++j) solved.covariance[i][j] = c[i * k + j];
    }
  }
  return solved;
}

// The condition number of the Jacobian at x with unit columns: large when a
// combination of parameters barely changes the model.
double conditionNumber(const LeastSquares& problem, const std::vector<double>& x, const std::vector<double>& steps) {
  const FiniteDifferenceCost cost(problem, steps);
  const std::size_t n = problem.points(), k = problem.size();
  std::vector<double> residuals(n), jacobian(n * k);
  const double* parameters[] = {x.data()};
  double* jacobians[] = {jacobian.data()};
  if (!cost.Evaluate(parameters, residuals.data(), jacobians)) return kInfinity;
  Eigen::MatrixXd J(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(k));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < k; ++j)
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = jacobian[i * k + j];
  for (Eigen::Index j = 0; j < J.cols(); ++j) {
    const double columnNorm = J.col(j).norm();
    if (columnNorm == 0.0) return kInfinity;
    J.col(j) /= columnNorm;
  }
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(J);
  const Eigen::VectorXd s = svd.singularValues();
  return s(s.size() - 1) > 0.0 ? s(0) / s(s.size() - 1) : kInfinity;
}

double parseBound(const std::string& text, const std::string& item) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value))
    throw measured::DataError("--free: the bound \"" + text + "\" in \"" + item + "\" is not a number");
  return value;
}

std::string formatted(double value, int digits = 6) {
  std::ostringstream s;
  s << std::setprecision(digits) << value;
  return s.str();
}

}  // namespace

std::vector<FreeParameter> parseFreeParameters(const std::string& text,
                                               const ParameterSet& start,
                                               double highestTemperature) {
  std::vector<FreeParameter> free;
  std::stringstream items(text);
  for (std::string item; std::getline(items, item, ',');) {
    if (item.empty()) continue;
    const std::size_t equals = item.find('=');
    const std::string name = item.substr(0, equals);
    FreeParameter f;
    f.value = parameters::findContinuousValue(name);
    if (f.value == nullptr)
      throw measured::DataError("--free: \"" + name +
                                "\" is not a parameter that can be fitted (Tc, mu0, Gamma, hc0_mean, Gamma_c, "
                                "sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, s, lambda, f)");
    for (const FreeParameter& other : free)
      if (other.value == f.value) throw measured::DataError("--free: " + name + " is named twice");
    const double value = static_cast<double>(start.*(f.value->member));
    // Physical bounds: a width, a moment, an amplitude and a field scale are
    // positive (0 divides by zero), f is a weight, and Tc lies above every
    // temperature the model is evaluated at.
    if (name == "sigmac0" || name == "sigmai0" || name == "mu0" || name == "N" || name == "lambda")
      f.lower = std::fabs(value) * 1e-6 > 0.0 ? std::fabs(value) * 1e-6 : std::numeric_limits<double>::min();
    if (name == "f") f.lower = 0.0, f.upper = 1.0;
    if (name == "Tc") f.lower = highestTemperature * (1.0 + 1e-6) + 1e-3;
    if (equals != std::string::npos) {
      const std::string range = item.substr(equals + 1);
      const std::size_t colon = range.find(':');
      if (colon == std::string::npos)
        throw measured::DataError("--free: \"" + item + "\" needs its bounds as LO:HI (either may be left out)");
      const std::string lo = range.substr(0, colon), hi = range.substr(colon + 1);
      if (!lo.empty()) f.lower = std::max(f.lower, parseBound(lo, item));
      if (!hi.empty()) f.upper = std::min(f.upper, parseBound(hi, item));
    }
    if (!(f.lower < f.upper)) throw measured::DataError("--free: the range of " + name + " is empty");
    if (value < f.lower || value > f.upper)
      throw measured::DataError("--free: the starting value " + name + " = " + formatted(value) +
                                " lies outside its bounds [" + formatted(f.lower) + ", " + formatted(f.upper) + "]");
    free.push_back(f);
  }
  if (free.empty()) throw measured::DataError("--free names no parameter");
  return free;
}

FitResult fitParameters(const ParameterSet& start, const std::vector<Dataset>& data, const FitOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  const LeastSquares problem(start, data, options.free, options.threads);
  const std::size_t k = problem.size(), n = problem.points();
  FitResult result;
  result.points = n;
  for (const FreeParameter& f : options.free) {
    result.names.push_back(f.value->name);
    result.start.push_back(static_cast<double>(start.*(f.value->member)));
  }
  std::vector<double> x0(k);
  for (std::size_t j = 0; j < k; ++j) x0[j] = result.start[j] / problem.scale(j);
  measureSteps(problem, x0, result.steps, result.modelNoise);

  // The given start first, then starts spread over the bounds (over a
  // factor of two about the start where a bound is missing).
  std::vector<Solved> solutions;
  std::size_t best = 0;
  result.starts = std::max(1, options.starts);
  for (int s = 0; s < result.starts; ++s) {
    std::vector<double> x = x0;
    if (s > 0) {
      const std::vector<double> u = halton(s, k);
      for (std::size_t j = 0; j < k; ++j) {
        double lo = problem.lower(j), hi = problem.upper(j);
        const double spread = std::max(std::fabs(x0[j]), 1.0);
        if (!std::isfinite(lo)) lo = x0[j] - 0.5 * spread;
        if (!std::isfinite(hi)) hi = x0[j] + spread;
        lo = std::max(lo, problem.lower(j));
        x[j] = lo + u[j] * (hi - lo);
      }
    }
    solutions.push_back(solveFrom(problem, x, result.steps, options.progress, s + 1));
    if (solutions.back().chiSquare < solutions[best].chiSquare) best = solutions.size() - 1;
  }
  // The grid's own error: the model on a grid twice as fine. The model
  // converges as 1/m, so its error at m is about twice its change from m to
  // 2m. Where that is not small against the data's error the fit would be
  // biased by it and its errors too small: twice the change joins each
  // point's sigma in quadrature, and the fit goes on from the minimum with
  // those weights.
  const auto gridChange = [&](const std::vector<double>& x) {
    parameters::ParameterSet finer = problem.at(x);
    finer.m = std::min(2 * finer.m, model::kLargestGridDivisions);
    const std::vector<std::vector<double>> fine = modelCurves({finer}, data, options.threads)[0];
    const std::vector<std::vector<double>> coarse = problem.model(x);
    std::vector<std::vector<double>> change(data.size());
    for (std::size_t d = 0; d < data.size(); ++d)
      for (std::size_t i = 0; i < data[d].curve.size(); ++i) change[d].push_back(fine[d][i] - coarse[d][i]);
    return change;
  };
  const std::vector<std::vector<double>> change = gridChange(solutions[best].x);
  double gridError = 0.0;
  for (std::size_t d = 0; d < data.size(); ++d)
    for (std::size_t i = 0; i < data[d].curve.size(); ++i) gridError += std::pow(change[d][i] / data[d].sigma[i], 2);
  result.gridError = std::sqrt(gridError / static_cast<double>(std::max<std::size_t>(n, 1)));
  std::vector<Dataset> weighted = data;
  result.gridInWeights = result.gridError > kGridErrorInWeights;
  if (result.gridInWeights)
    for (std::size_t d = 0; d < data.size(); ++d)
      for (std::size_t i = 0; i < data[d].curve.size(); ++i)
        weighted[d].sigma[i] = std::hypot(data[d].sigma[i], 2.0 * change[d][i]);
  const LeastSquares final(start, weighted, options.free, options.threads);
  const Solved b = result.gridInWeights
                       ? solveFrom(final, solutions[best].x, result.steps, options.progress, static_cast<int>(best) + 1)
                       : solutions[best];
  for (const Dataset& d : weighted) result.sigma.push_back(d.sigma);
  result.values = final.physical(b.x);
  result.best = final.at(b.x);
  result.chiSquare = b.chiSquare;
  result.converged = b.converged;
  result.iterations = b.iterations;
  result.termination = b.termination;
  result.model = final.model(b.x);
  result.conditionNumber = conditionNumber(final, b.x, result.steps);

  // Standard errors: without measured errors the weights are relative, and
  // the covariance is scaled by the reduced chi-square.
  result.measuredErrors = true;
  for (const Dataset& d : data) result.measuredErrors = result.measuredErrors && d.measuredErrors;
  const double dof = static_cast<double>(n) - static_cast<double>(k);
  const double covarianceScale = result.measuredErrors || dof <= 0 ? 1.0 : b.chiSquare / dof;
  result.errors.assign(k, std::nan(""));
  result.correlation.assign(k, std::vector<double>(k, std::nan("")));
  if (!b.covariance.empty()) {
    for (std::size_t i = 0; i < k; ++i) {
      result.errors[i] = std::sqrt(b.covariance[i][i] * covarianceScale) * final.scale(i);
      for (std::size_t j = 0; j < k; ++j)
        result.correlation[i][j] = b.covariance[i][j] / std::sqrt(b.covariance[i][i] * b.covariance[j][j]);
    }
  } else {
    result.warnings.push_back("the covariance could not be computed: no standard errors");
  }

  // Distinct minima: another set of values, beyond 1 % of a value, is
  // another minimum.
  std::vector<std::size_t> order(solutions.size());
  for (std::size_t s = 0; s < order.size(); ++s) order[s] = s;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t c) { return solutions[a].chiSquare < solutions[c].chiSquare; });
  for (std::size_t s : order) {
    const std::vector<double> values = problem.physical(solutions[s].x);
    bool seen = false;
    for (const Minimum& m : result.minima) {
      bool same = true;
      for (std::size_t j = 0; j < k; ++j)
        same = same && std::fabs(values[j] - m.values[j]) <= 0.01 * std::max(std::fabs(m.values[j]), 1e-300);
      seen = seen || same;
    }
    if (!seen && std::isfinite(solutions[s].chiSquare))
      result.minima.push_back({solutions[s].chiSquare, values, solutions[s].converged});
  }

  // Plain warnings.
  for (std::size_t j = 0; j < k; ++j) {
    const FreeParameter& f = options.free[j];
    const double v = result.values[j];
    const double near = 1e-6 * std::max(std::fabs(v), 1e-300);
    if (std::isfinite(f.lower) && v - f.lower <= near)
      result.warnings.push_back(result.names[j] + " is at its lower bound " + formatted(f.lower));
    if (std::isfinite(f.upper) && f.upper - v <= near)
      result.warnings.push_back(result.names[j] + " is at its upper bound " + formatted(f.upper));
    if (result.modelNoise[j] > 0.3)
      result.warnings.push_back("the model's own jitter against " + result.names[j] + " is " +
                                formatted(result.modelNoise[j], 2) +
                                " of the data's error: the grid is too coarse for these data, try a finer m");
  }
  if (result.gridError > 0.3)
    result.warnings.push_back("the model changes by " + formatted(result.gridError, 2) +
                              " of the data's error (root mean square) when m is doubled: the grid limits the fit "
                              "(its change is in the weights), try m = " +
                              std::to_string(std::min(2 * start.m, model::kLargestGridDivisions)) + " or more");
  if (result.conditionNumber > 1e6)
    result.warnings.push_back("the Jacobian's condition number is " + formatted(result.conditionNumber, 3) +
                              ": a combination of the free parameters is hardly determined by the data; fix one of "
                              "them or add data");
  if (!result.converged) result.warnings.push_back("the fit did not converge: " + result.termination);
  result.evaluations = problem.evaluations();
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return result;
}

void writeReport(std::ostream& out, const FitResult& r, const std::vector<Dataset>& data) {
  const double n = static_cast<double>(r.points), k = static_cast<double>(r.values.size());
  const double reduced = n > k ? r.chiSquare / (n - k) : std::nan("");
  const double aic = n * std::log(r.chiSquare / n) + 2.0 * k;
  const double bic = n * std::log(r.chiSquare / n) + std::log(n) * k;
  out << "[[Fit Statistics]]\n";
  out << "    # fitting method   = Levenberg-Marquardt, bounded trust region (Ceres Solver)\n";
  out << "    # function evals   = " << r.evaluations << "\n";
  out << "    # iterations       = " << r.iterations << "\n";
  out << "    # data points      = " << r.points;
  for (const Dataset& d : data) out << (&d == &data.front() ? " (" : ", ") << d.name << " " << d.curve.size();
  out << ")\n";
  out << "    # variables        = " << r.values.size() << "\n";
  out << "    chi-square         = " << formatted(r.chiSquare, 7) << "\n";
  out << "    reduced chi-square = " << formatted(reduced, 7) << "\n";
  out << "    Akaike info crit   = " << formatted(aic, 7) << "\n";
  out << "    Bayesian info crit = " << formatted(bic, 7) << "\n";
  out << "    time               = " << formatted(r.seconds, 3) << " s\n";
  out << "    grid error         = " << formatted(r.gridError, 3) << " sigma (rms change when m is doubled)\n";
  out << "    condition number   = " << formatted(r.conditionNumber, 3) << " (Jacobian, unit columns)\n";
  out << "    weights            = "
      << (r.measuredErrors ? "the data's standard errors"
                           : "uniform per dataset (no error column); errors scaled by the reduced chi-square")
      << (r.gridInWeights ? ", combined with the grid's error (the model's change when m is doubled)" : "") << "\n";
  out << "[[Variables]]\n";
  std::size_t width = 0;
  for (const std::string& name : r.names) width = std::max(width, name.size());
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    out << "    " << std::left << std::setw(static_cast<int>(width) + 1) << (r.names[j] + ":") << std::right << " "
        << formatted(r.values[j], 7);
    if (std::isfinite(r.errors[j]))
      out << " +/- " << formatted(r.errors[j], 3) << " (" << formatted(100.0 * r.errors[j] / std::fabs(r.values[j]), 3)
          << "%)";
    else
      out << " +/- (not determined)";
    out << " (init = " << formatted(r.start[j], 7) << ", step " << formatted(r.steps[j], 1) << ")\n";
  }
  out << "[[Correlations]] (unreported correlations are < 0.100)\n";
  std::vector<std::pair<double, std::string>> correlations;
  for (std::size_t i = 0; i < r.values.size(); ++i)
    for (std::size_t j = i + 1; j < r.values.size(); ++j)
      if (std::fabs(r.correlation[i][j]) > 0.1)
        correlations.push_back({std::fabs(r.correlation[i][j]), "    C(" + r.names[i] + ", " + r.names[j] +
                                                                    ") = " + formatted(r.correlation[i][j], 3)});
  std::sort(correlations.begin(), correlations.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& c : correlations) out << c.second << "\n";
  if (!r.minima.empty()) {
    out << "[[Minima]] (" << r.minima.size() << " distinct over " << r.starts << (r.starts == 1 ? " start" : " starts")
        << (r.gridInWeights ? "; chi-square with the data's errors alone, before the grid's error joined the weights"
                            : "")
        << ")\n";
    for (const Minimum& m : r.minima) {
      out << "    chi-square " << formatted(m.chiSquare, 7) << (m.converged ? "" : " (not converged)") << ":";
      for (std::size_t j = 0; j < m.values.size(); ++j) out << " " << r.names[j] << " = " << formatted(m.values[j], 6);
      out << "\n";
    }
  }
  if (!r.warnings.empty()) {
    out << "[[Warnings]]\n";
    for (const std::string& w : r.warnings) out << "    " << w << "\n";
  }
  out << std::flush;
}

}  // namespace preisach::fitting

#include "fitting/fit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "fitting/continuum_curves.h"
#include "fitting/least_squares.h"
#include "fitting/starts.h"
#include "measured/data_error.h"

namespace preisach::fitting {

namespace {

// A descent that ends where the gradient is not small is taken up again
// from there, at most this many times, before it is called a stall.
constexpr int kResumptions = 4;
// Where a descent ends: on the continuum a relative change of chi-square of
// 1e-10, far below the change of 1 that matters; the grid model's float32
// parameters and nodes make chi-square jitter at about 1e-7 of itself, so
// there 1e-6.
constexpr double kContinuumEnd = 1e-10;
constexpr double kGridEnd = 1e-6;
// Correlations beyond this leave the two parameters hardly told apart.
constexpr double kStrongCorrelation = 0.95;

std::string formatted(double value, int digits = 6) {
  std::ostringstream s;
  s << std::setprecision(digits) << value;
  return s.str();
}

CurvesOf curvesFor(const FitOptions& options, const std::vector<Dataset>& data) {
  if (options.model == ModelKind::Continuum)
    return [&data, tolerance = options.tolerance](const model::ModelParameters& p) {
      return continuumCurves(p, data, tolerance);
    };
  return [&data, m = options.m, threads = options.threads](const model::ModelParameters& p) {
    return modelCurves({gridParameters(p, m)}, data, threads)[0];
  };
}

// The grid's departure from the continuum falls as 1/m only near its
// limit: beyond this departure no m is foretold from it.
constexpr double kLargestForetoldDeparture = 0.25;

// The grid model's parameters are float32 and its nodes move with them:
// its moments jitter at about this share of themselves.
constexpr double kGridAccuracy = 1e-7;

DescentSettings descentSettings(const FitOptions& options, int startNumber, FitClock& clock) {
  const bool continuum = options.model == ModelKind::Continuum;
  return DescentSettings{
      continuum ? kContinuumEnd : kGridEnd,         options.progress, startNumber, &options.limits, &clock,
      continuum ? options.tolerance : kGridAccuracy};
}

// One standard-error unit of chi-square: 1 with the data's own errors;
// with uniform weights the errors are relative, scaled by the reduced
// chi-square.
double chiSquareUnit(bool measuredErrors, double chiSquare, std::size_t n, std::size_t k) {
  if (measuredErrors || n <= k) return 1.0;
  return std::max(chiSquare / static_cast<double>(n - k), 1e-300);
}

struct Ended {
  Descent descent;
  LocalAnalysis analysis;
  bool atMinimum() const { return descent.usable && analysis.evaluated && analysis.atMinimum; }
};

// Descends from x and stops only at a minimum: where Ceres ends with the
// gradient not small (a stall in a curved valley), it goes on from there.
// `backgroundCount`: the background's fitted numbers, which the cost
// eliminates but the degrees of freedom count.
Ended descendToMinimum(ceres::CostFunction& cost,
                       const Scaling& scaling,
                       std::vector<double> x,
                       bool measuredErrors,
                       std::size_t backgroundCount,
                       const DescentSettings& settings) {
  Ended e;
  int iterations = 0;
  std::vector<bool> held;
  for (int round = 0; round <= kResumptions; ++round) {
    e.descent = descend(cost, scaling, x, held, settings);
    iterations += e.descent.iterations;
    if (!e.descent.usable) break;
    if (settings.clock != nullptr && !settings.clock->stopped.empty()) {
      // Stopped: the point is described, not taken up again.
      const double unit =
          chiSquareUnit(measuredErrors, e.descent.chiSquare, static_cast<std::size_t>(cost.num_residuals()),
                        scaling.size() + backgroundCount);
      e.analysis = analyse(cost, scaling, e.descent.x, unit, settings.modelAccuracy);
      break;
    }
    const double unit = chiSquareUnit(measuredErrors, e.descent.chiSquare,
                                      static_cast<std::size_t>(cost.num_residuals()), scaling.size() + backgroundCount);
    e.analysis = analyse(cost, scaling, e.descent.x, unit, settings.modelAccuracy);
    if (e.atMinimum() || !e.analysis.evaluated) break;
    // A descent that did not move ends the same way when taken up again.
    if (e.descent.x == x && e.analysis.held == held) break;
    x = e.descent.x;
    held = e.analysis.held;
  }
  e.descent.iterations = iterations;
  return e;
}

// Minima that are the same point within their errors (chi-square between
// them, to second order, below one unit) are one; best first.
std::vector<Minimum> mergeMinima(const std::vector<Ended>& ends, const Scaling& scaling) {
  std::vector<const Ended*> order;
  for (const Ended& e : ends)
    if (e.atMinimum()) order.push_back(&e);
  std::sort(order.begin(), order.end(),
            [](const Ended* a, const Ended* b) { return a->descent.chiSquare < b->descent.chiSquare; });
  std::vector<Minimum> minima;
  std::vector<const Ended*> representatives;
  for (const Ended* e : order) {
    bool merged = false;
    for (std::size_t m = 0; m < minima.size() && !merged; ++m)
      if (predictedChiSquareChange(representatives[m]->analysis.fisher, representatives[m]->descent.x, e->descent.x) <
          1.0)
        ++minima[m].starts, merged = true;
    if (merged) continue;
    minima.push_back({e->descent.chiSquare, scaling.physical(e->descent.x), 1});
    representatives.push_back(e);
  }
  return minima;
}

void fillUncertainty(FitResult& r, const LocalAnalysis& a, const Scaling& scaling) {
  const std::size_t k = scaling.size();
  r.errors.assign(k, std::nan(""));
  r.correlation.assign(k, std::vector<double>(k, std::nan("")));
  if (!a.evaluated) return;
  for (std::size_t i = 0; i < k; ++i) {
    r.errors[i] = a.errors[i] * scaling.scale(i);
    for (std::size_t j = 0; j < k; ++j)
      if (std::isfinite(a.errors[i]) && std::isfinite(a.errors[j]))
        r.correlation[i][j] = a.covariance[i][j] / std::sqrt(a.covariance[i][i] * a.covariance[j][j]);
  }
  for (const WeakDirection& weak : a.undetermined) r.undetermined.push_back(describeUndetermined(weak, r.names));
  r.newtonDecrement = a.newtonDecrement;
  r.conditionNumber = a.conditionNumber;
}

std::unique_ptr<ceres::CostFunction> costFor(const FitOptions& options,
                                             const Scaling& scaling,
                                             const std::vector<Dataset>& data);

// Chi-square of the particles' curves with the background that best takes
// up what they leave.
double chiSquareWith(const Background& background,
                     const std::vector<std::vector<double>>& particles,
                     const std::vector<Dataset>& data) {
  std::vector<double> r = weightedResiduals(particles, data);
  const Background::Solution s = background.solve(r);
  double chiSquare = 0.0;
  for (std::size_t i = 0; i < r.size(); ++i) chiSquare += (r[i] + s.weighted[i]) * (r[i] + s.weighted[i]);
  return chiSquare;
}

// The parameter of each weak direction that takes the largest part in it,
// one per direction, added to those already held.
std::vector<bool> moreToHold(const LocalAnalysis& a, std::vector<bool> held) {
  for (const WeakDirection& weak : a.undetermined) {
    std::size_t most = held.size();
    for (std::size_t j = 0; j < held.size(); ++j)
      if (!held[j] && (most == held.size() || std::fabs(weak.direction[j]) > std::fabs(weak.direction[most]))) most = j;
    if (most < held.size()) held[most] = true;
  }
  return held;
}

// A product (or ratio) of two parameters that the data fix while neither
// apart, one of them held: its value, and its error, which is the fitted
// one's relative error.
void combineHeld(FitResult& r, const WeakDirection& weak) {
  std::vector<std::size_t> parts;
  for (std::size_t j = 0; j < r.names.size(); ++j)
    if (takesPart(weak, j)) parts.push_back(j);
  if (parts.size() != 2) return;
  const std::size_t p = parts[0], q = parts[1];
  const double a = std::fabs(weak.direction[p]), b = std::fabs(weak.direction[q]);
  if (std::fabs(a - b) > 0.1 * std::hypot(a, b) || r.keptAtStart[p] == r.keptAtStart[q]) return;
  const std::size_t fitted = r.keptAtStart[p] ? q : p;
  if (!std::isfinite(r.errors[fitted])) return;
  // Along the undetermined direction the two move in opposite senses for a
  // product, together for a ratio.
  const bool product = weak.direction[p] * weak.direction[q] < 0.0;
  const double value = product ? r.values[p] * r.values[q] : r.values[p] / r.values[q];
  const double error = std::fabs(value) * r.errors[fitted] / std::fabs(r.values[fitted]);
  std::string unit;
  if (product)
    unit = r.units[p].empty() ? r.units[q] : r.units[q].empty() ? r.units[p] : r.units[p] + "·" + r.units[q];
  else if (r.units[p] != r.units[q])
    unit = (r.units[p].empty() ? "1" : r.units[p]) + "/" + (r.units[q].empty() ? "1" : r.units[q]);
  r.combinations.push_back(r.names[p] + (product ? "·" : "/") + r.names[q] + " = " + formatted(value, 7) + " +/- " +
                           formatted(error, 3) + (unit.empty() ? "" : " " + unit) + " (determined; " + r.names[p] +
                           " and " + r.names[q] + " apart are not)");
}

// A parameter the data do not determine ends wherever the descent left it,
// an arbitrary value the fitted file must not carry. Each is held at the
// parameter file's value (for a product such as N·mu0 one of the two, the
// one that takes the larger part) and the others are fitted again from
// where they ended, until the rest is determined. Fills the result's best
// point, values, errors and correlations from that last fit.
void holdUndetermined(FitResult& r,
                      const model::ModelParameters& given,
                      const Ended& best,
                      const Scaling& scaling,
                      const FitOptions& options,
                      const std::vector<Dataset>& data,
                      FitClock& clock) {
  const std::size_t k = scaling.size();
  std::vector<bool> held(k, false);
  LocalAnalysis analysis = best.analysis;
  const FitResult descentEnd = r;
  model::ModelParameters at = scaling.at(best.descent.x.data());
  // "Not determined" is read off the curvature at a minimum; where the
  // descent stalled far from one (a start orders of magnitude off) a value
  // can look irrelevant that is not, and nothing is held.
  for (std::size_t round = 0;
       round < k && best.atMinimum() && analysis.evaluated && !analysis.undetermined.empty() && clock.stopped.empty();
       ++round) {
    const std::vector<bool> more = moreToHold(analysis, held);
    if (more == held) break;
    held = more;
    std::vector<FreeParameter> rest;
    std::vector<std::size_t> restIndex;
    for (std::size_t j = 0; j < k; ++j) {
      const FreeParameter& f = scaling.free()[j];
      if (held[j])
        at.*(f.parameter->member) = given.*(f.parameter->member);
      else
        rest.push_back(f), restIndex.push_back(j);
    }
    r.keptAtStart = held;
    if (rest.empty()) {
      // Nothing left to fit: the file's values, and their chi-square.
      r.chiSquare = chiSquareWith(Background(options.background, data), curvesFor(options, data)(at), data);
      r.errors.assign(k, std::nan(""));
      r.correlation.assign(k, std::vector<double>(k, std::nan("")));
      analysis = LocalAnalysis{};
      break;
    }
    FitOptions reducedOptions = options;
    reducedOptions.free = rest;
    const Scaling reduced(at, rest);
    const std::unique_ptr<ceres::CostFunction> cost = costFor(reducedOptions, reduced, data);
    const DescentSettings settings = descentSettings(options, 1, clock);
    const Ended e = descendToMinimum(*cost, reduced, reduced.startPoint(), r.measuredErrors,
                                     Background(options.background, data).parameterCount(), settings);
    r.iterations += e.descent.iterations;
    if (!e.descent.usable) break;  // the first fit's point stays, described as it was
    at = reduced.at(e.descent.x.data());
    analysis = e.analysis;
    r.chiSquare = e.descent.chiSquare;
    r.converged = e.atMinimum();
    r.termination = e.descent.termination;
    // The errors of the parameters still fitted, in the full order.
    r.errors.assign(k, std::nan(""));
    r.correlation.assign(k, std::vector<double>(k, std::nan("")));
    if (e.analysis.evaluated)
      for (std::size_t i = 0; i < rest.size(); ++i) {
        r.errors[restIndex[i]] = e.analysis.errors[i] * reduced.scale(i);
        for (std::size_t j = 0; j < rest.size(); ++j)
          if (std::isfinite(e.analysis.errors[i]) && std::isfinite(e.analysis.errors[j]))
            r.correlation[restIndex[i]][restIndex[j]] =
                e.analysis.covariance[i][j] / std::sqrt(e.analysis.covariance[i][i] * e.analysis.covariance[j][j]);
      }
    r.newtonDecrement = e.analysis.newtonDecrement;
  }
  if (r.keptAtStart.empty()) return;
  // "Not determined" is a local statement: where the descent ended a value
  // may do nothing (a centre far beyond the fields measured), while at the
  // file's value it matters. Held there, the rest may fit worse than that
  // end by more than one standard-error unit of chi-square (within it the
  // two are the same fit); then the end stays, its undetermined values
  // marked as arbitrary.
  const double unit = chiSquareUnit(r.measuredErrors, descentEnd.chiSquare, r.points, k);
  if (!(r.chiSquare <= descentEnd.chiSquare + unit)) {
    const int iterations = r.iterations;
    const double worse = r.chiSquare;
    r = descentEnd;
    r.iterations = iterations;
    r.warnings.push_back("holding the undetermined parameters at the parameter file's values raised chi-square to " +
                         formatted(worse, 7) +
                         ": the values are where the descent ended, and those not determined "
                         "there are arbitrary (fix them in the parameter file, or free fewer parameters)");
    return;
  }
  r.best = at;
  for (std::size_t j = 0; j < k; ++j) r.values[j] = scaling.free()[j].valueIn(at);
  if (r.converged) r.minima.insert(r.minima.begin(), Minimum{r.chiSquare, r.values, 1, true});
  for (const WeakDirection& weak : best.analysis.undetermined) combineHeld(r, weak);
  for (std::size_t j = 0; j < k; ++j)
    if (r.keptAtStart[j])
      r.warnings.push_back(r.names[j] + " is not determined by the data: the fitted file keeps the parameter file's " +
                           formatted(r.values[j], 7) + (r.units[j].empty() ? "" : " " + r.units[j]) +
                           " and the others are fitted with it held there");
}

// The model's exact symmetries on data of one kind, in words. ZFC/FC in
// one field: hts = 25 kB T / mu0 sets the field scale, so multiplying
// hc0_mean, sigmac0, sigmai0 and ha + km by any lambda, mu0 by 1/lambda
// and N by lambda leaves both curves unchanged. Loops alone: the moment is
// N mu(T) times a shape that mu0 does not enter, so only N·mu0 counts.
void statedSymmetries(FitResult& r, const std::vector<Dataset>& data, const std::vector<FreeParameter>& free) {
  bool loops = false, temperatures = false;
  std::vector<float> fields;
  for (const Dataset& d : data) {
    (d.kind == CurveKind::Loop ? loops : temperatures) = true;
    if (d.kind != CurveKind::Loop && std::find(fields.begin(), fields.end(), d.field) == fields.end())
      fields.push_back(d.field);
  }
  const auto isFree = [&free](const char* name) {
    return std::any_of(free.begin(), free.end(),
                       [name](const FreeParameter& f) { return std::string(f.name()) == name; });
  };
  if (temperatures && !loops && fields.size() == 1) {
    std::vector<std::string> fixed;
    for (const char* name : {"hc0_mean", "sigmac0", "sigmai0", "km", "mu0", "N"})
      if (!isFree(name)) fixed.push_back(name);
    std::string which;
    for (const std::string& name : fixed) which += (which.empty() ? "" : ", ") + name;
    r.symmetries.push_back(
        "ZFC/FC in one field (" + formatted(fields.front()) +
        " Oe) are unchanged when hc0_mean, sigmac0, sigmai0 and ha + km are multiplied by any lambda, mu0 divided by "
        "lambda and N multiplied by lambda: the data fix these fields only relative to hts = 25 kB T / mu0; " +
        (fixed.empty() ? std::string("all of them are free, so the fit can run along this line (fix one of them, or "
                                     "add a curve in another field or a loop)")
                       : "the fixed " + which + " set the scale"));
  }
  if (loops && !temperatures)
    r.symmetries.push_back(
        "loops are unchanged when N is multiplied and mu0 divided by any lambda: they fix N·mu0, "
        "not N and mu0 apart" +
        std::string(isFree("N") && isFree("mu0") ? "" : " (the fixed one sets the other)"));
}

// Where the density lies against what the data can see: ZFC/FC curves
// switch the coercive fields below hts at their highest temperature, a
// loop those below its largest field. A centre beyond them is the tail's
// extrapolation, not a measurement.
void regionWarnings(FitResult& r, const std::vector<Dataset>& data) {
  const model::ModelParameters& p = r.best;
  const auto centreAt = [&p](double T) {
    const double reduced = 1.0 - T / static_cast<double>(p.Tc);
    return static_cast<double>(p.hc0_mean) * std::pow(reduced, static_cast<double>(p.Gamma_c));
  };
  double hottest = 0.0, widestLoop = 0.0, loopTemperature = 0.0;
  for (const Dataset& d : data) {
    if (d.kind == CurveKind::Loop) {
      for (double H : d.curve.x)
        if (std::fabs(H) > widestLoop) widestLoop = std::fabs(H), loopTemperature = d.temperature;
      continue;
    }
    for (double T : d.curve.x) hottest = std::max(hottest, T);
  }
  if (hottest > 0.0) {
    const double hts = 25.0 * 1.38e-16 * hottest / static_cast<double>(p.mu0), centre = centreAt(hottest);
    if (std::isfinite(hts) && centre > hts)
      r.warnings.push_back("the density's centre hc = " + formatted(centre, 4) + " Oe at " + formatted(hottest, 4) +
                           " K lies beyond hts = " + formatted(hts, 4) +
                           " Oe, the largest coercive field the ZFC/FC curves switch: most particles stay blocked "
                           "at every measured temperature and the fit places the centre from the tail it sees");
  }
  if (widestLoop > 0.0) {
    const double centre = centreAt(loopTemperature);
    if (centre > widestLoop)
      r.warnings.push_back("the density's centre hc = " + formatted(centre, 4) + " Oe at " +
                           formatted(loopTemperature, 4) + " K lies beyond the loop's largest field " +
                           formatted(widestLoop, 4) + " Oe: most particles never switch in the loop");
    if (std::fabs(static_cast<double>(p.km)) > widestLoop)
      r.warnings.push_back("the interaction centre km = " + formatted(p.km, 4) +
                           " Oe lies beyond the loop's largest "
                           "field " +
                           formatted(widestLoop, 4) + " Oe");
  }
}

void boundWarnings(FitResult& r, const std::vector<FreeParameter>& free) {
  for (std::size_t j = 0; j < free.size(); ++j) {
    const double v = r.values[j], near = 1e-6 * std::max(std::fabs(v), 1e-300);
    if (std::isfinite(free[j].lower) && v - free[j].lower <= near)
      r.warnings.push_back(r.names[j] + " is at its lower bound " + formatted(free[j].lower));
    if (std::isfinite(free[j].upper) && free[j].upper - v <= near)
      r.warnings.push_back(r.names[j] + " is at its upper bound " + formatted(free[j].upper));
  }
}

void statisticalWarnings(FitResult& r) {
  const std::size_t k = r.values.size();
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = i + 1; j < k; ++j)
      if (std::fabs(r.correlation[i][j]) > kStrongCorrelation)
        r.warnings.push_back("C(" + r.names[i] + ", " + r.names[j] + ") = " + formatted(r.correlation[i][j], 3) +
                             ": the data hardly tell " + r.names[i] + " and " + r.names[j] + " apart");
  for (const std::string& u : r.undetermined) r.warnings.push_back(u + ": their errors are not determined");
  for (std::size_t m = 1; m < r.minima.size(); ++m)
    if (r.minima[m].chiSquare - r.minima[0].chiSquare < 1.0)
      r.warnings.push_back("another minimum lies within chi-square + 1 of the best (chi-square " +
                           formatted(r.minima[m].chiSquare, 7) + "): the data do not choose between them");
  // With the data's own errors chi-square follows its distribution with
  // n - k degrees of freedom: beyond three of its standard deviations the
  // model does not describe the data within their errors.
  const double dof = static_cast<double>(r.points) - static_cast<double>(k + r.background.size());
  if (r.measuredErrors && dof > 0 && r.chiSquare < dof - 3.0 * std::sqrt(2.0 * dof))
    r.warnings.push_back("chi-square " + formatted(r.chiSquare, 5) + " is far below its expected " + formatted(dof) +
                         " +/- " + formatted(std::sqrt(2.0 * dof), 3) +
                         ": the data's errors are overstated (or the points are not independent), and the standard "
                         "errors, which take them as given, are too large by about " +
                         formatted(std::sqrt(dof / std::max(r.chiSquare, 1e-300)), 2) + " times");
  if (r.measuredErrors && dof > 0 && r.chiSquare > dof + 3.0 * std::sqrt(2.0 * dof))
    r.warnings.push_back("chi-square " + formatted(r.chiSquare, 5) + " is far above its expected " + formatted(dof) +
                         " +/- " + formatted(std::sqrt(2.0 * dof), 3) +
                         ": the model does not describe the data within their errors, and the standard errors "
                         "assume it does");
  if (!r.stopped.empty())
    r.warnings.push_back("the fit was " + r.stopped + ": the values are the best point reached, not a minimum");
  else if (!r.converged)
    r.warnings.push_back("no start reached a minimum (the gradient is not small where the fit ended)");
  if (r.stalled > 0)
    r.warnings.push_back(std::to_string(r.stalled) + " of " + std::to_string(r.starts) +
                         " starts ended where the gradient is not small: stalls, not minima" +
                         (!r.minima.empty() && r.minima.front().held
                              ? " (with the undetermined values held, the fit reached the minimum given)"
                              : ""));
}

// The particles' model alone.
std::unique_ptr<ceres::CostFunction> particleCost(const FitOptions& options,
                                                  const Scaling& scaling,
                                                  const std::vector<Dataset>& data) {
  if (options.model == ModelKind::Continuum) return continuumCost(scaling, data, options.tolerance);
  const std::vector<double> steps = measureGridSteps(scaling, data, options.m, options.threads, scaling.startPoint());
  return gridCost(scaling, data, options.m, options.threads, steps);
}

std::unique_ptr<ceres::CostFunction> costFor(const FitOptions& options,
                                             const Scaling& scaling,
                                             const std::vector<Dataset>& data) {
  return withBackground(particleCost(options, scaling, data), Background(options.background, data));
}

// The background at the best point: its terms with errors that count the
// particles' parameters still fitted (their Jacobian there), and its part
// added to the model's curves.
void describeBackground(FitResult& r, const FitOptions& options, const std::vector<Dataset>& data) {
  const Background background(options.background, data);
  if (background.empty()) return;
  std::vector<FreeParameter> fitted;
  for (std::size_t j = 0; j < options.free.size(); ++j)
    if (j >= r.keptAtStart.size() || !r.keptAtStart[j]) fitted.push_back(options.free[j]);
  const std::size_t n = pointCount(data), k = fitted.size();
  std::vector<double> residuals = weightedResiduals(r.model, data), jacobian(n * k);
  if (k > 0) {
    const Scaling scaling(r.best, fitted);
    const std::unique_ptr<ceres::CostFunction> cost = particleCost(options, scaling, data);
    const std::vector<double> x = scaling.startPoint();
    const double* parameters[] = {x.data()};
    double* jacobians[] = {jacobian.data()};
    if (!cost->Evaluate(parameters, residuals.data(), jacobians)) jacobian.assign(n * k, std::nan(""));
  }
  const Background::Solution s = background.solve(residuals);
  const double unit = chiSquareUnit(r.measuredErrors, r.chiSquare, n, k + background.parameterCount());
  r.background = background.terms(s, jacobian, k, unit);
  r.backgroundValues = background.values(s);
  for (std::size_t d = 0; d < data.size(); ++d)
    for (std::size_t i = 0; i < r.model[d].size(); ++i) r.model[d][i] += r.backgroundValues[d][i];
  for (const std::string& w : background.warnings(r.background)) r.warnings.push_back(w);
}

// With a background the descent can leave the particles' valley from a
// start far from the data: the background takes up what the particles
// should (a loop's slope, a tail that a theta of hundreds of kelvin makes a
// slope in T) and the particles' parameters run to where they do nothing.
// So each start is also taken up where the particles alone end (and, for
// Curie-Weiss, where a Curie term, theta = 0, ends); the descent that ends
// lowest is the start's. The background only adds freedom, so its fit can
// only lower the particles' chi-square.
Ended descendWithBackground(ceres::CostFunction& cost,
                            const FitOptions& options,
                            const Scaling& scaling,
                            const std::vector<Dataset>& data,
                            const std::vector<double>& start,
                            FitResult& r,
                            const DescentSettings& settings) {
  const std::size_t count = Background(options.background, data).parameterCount();
  Ended best = descendToMinimum(cost, scaling, start, r.measuredErrors, count, settings);
  if (count == 0) return best;
  int iterations = best.descent.iterations;
  std::vector<BackgroundChoice> simpler{BackgroundChoice{}};
  if (options.background.temperature == BackgroundChoice::Temperature::CurieWeiss) {
    BackgroundChoice curie = options.background;
    curie.temperature = BackgroundChoice::Temperature::Curie;
    simpler.push_back(curie);
  }
  for (const BackgroundChoice& choice : simpler) {
    if (settings.clock != nullptr && !settings.clock->stopped.empty()) break;
    FitOptions first = options;
    first.background = choice;
    const std::unique_ptr<ceres::CostFunction> firstCost = costFor(first, scaling, data);
    const Ended e = descendToMinimum(*firstCost, scaling, start, r.measuredErrors,
                                     Background(choice, data).parameterCount(), settings);
    iterations += e.descent.iterations;
    if (!e.descent.usable) continue;
    const Ended then = descendToMinimum(cost, scaling, e.descent.x, r.measuredErrors, count, settings);
    iterations += then.descent.iterations;
    // The lower end, minimum or not: a stall below a minimum is the better
    // point to describe (and is reported as a stall).
    if (then.descent.usable && (!best.descent.usable || then.descent.chiSquare < best.descent.chiSquare)) best = then;
  }
  best.descent.iterations = iterations;
  return best;
}

void describeFit(FitResult& r,
                 const model::ModelParameters& start,
                 const std::vector<Dataset>& data,
                 const FitOptions& o) {
  r.modelKind = o.model;
  r.tolerance = o.tolerance;
  r.m = o.m;
  r.points = pointCount(data);
  r.starts = std::max(1, o.starts);
  r.measuredErrors = true;
  for (const Dataset& d : data) r.measuredErrors = r.measuredErrors && d.measuredErrors, r.sigma.push_back(d.sigma);
  for (const FreeParameter& f : o.free) {
    r.names.push_back(f.name());
    r.units.push_back(f.parameter->unit);
    r.start.push_back(f.valueIn(start));
  }
}

}  // namespace

std::size_t pointsForParameters(const std::vector<Dataset>& data, const FitOptions& options) {
  const std::size_t points = pointCount(data);
  const std::size_t fitted = options.free.size() + Background(options.background, data).parameterCount();
  if (points <= fitted)
    throw measured::DataError("the data hold " + std::to_string(points) + (points == 1 ? " point" : " points") +
                              ", no more than the " + std::to_string(fitted) +
                              (fitted == 1 ? " free parameter" : " free parameters") +
                              (fitted > options.free.size() ? " (the background's included)" : "") +
                              ": a fit needs more points than parameters");
  return points;
}

FitResult fitParameters(const model::ModelParameters& given,
                        const std::vector<Dataset>& data,
                        const FitOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  const CurvesOf curves = curvesFor(options, data);
  FitResult r;
  const model::ModelParameters start =
      options.startFromData ? startFromData(given, options.free, data, curves, r.startNotes) : given;
  describeFit(r, start, data, options);
  const Scaling scaling(start, options.free);
  const std::unique_ptr<ceres::CostFunction> cost = costFor(options, scaling, data);

  std::vector<std::vector<double>> startPoints{scaling.startPoint()};
  for (const std::vector<double>& x : spreadStarts(scaling, startPoints[0], r.starts - 1)) startPoints.push_back(x);
  std::vector<Ended> ends;
  FitClock clock;
  for (std::size_t s = 0; s < startPoints.size() && clock.stopped.empty(); ++s) {
    const DescentSettings settings = descentSettings(options, static_cast<int>(s) + 1, clock);
    ends.push_back(descendWithBackground(*cost, options, scaling, data, startPoints[s], r, settings));
    r.iterations += ends.back().descent.iterations;
  }
  // The best: the lowest minimum; without any, the lowest end.
  const Ended* best = nullptr;
  for (const Ended& e : ends) {
    if (!e.descent.usable) continue;
    const bool better = best == nullptr || (e.atMinimum() && !best->atMinimum()) ||
                        (e.atMinimum() == best->atMinimum() && e.descent.chiSquare < best->descent.chiSquare);
    if (better) best = &e;
  }
  // A start ended by a limit or Ctrl-C is stopped, not stalled.
  for (std::size_t s = 0; s < ends.size(); ++s)
    r.stalled += ends[s].descent.usable && !ends[s].atMinimum() && !(s + 1 == ends.size() && !clock.stopped.empty());
  if (best == nullptr) {
    r.converged = false;
    r.termination = ends.front().descent.termination;
    throw std::runtime_error("the model cannot be evaluated at any start: " + r.termination);
  }
  r.minima = mergeMinima(ends, scaling);
  r.converged = best->atMinimum();
  r.termination = best->descent.termination;
  r.chiSquare = best->descent.chiSquare;
  r.values = scaling.physical(best->descent.x);
  r.best = scaling.at(best->descent.x.data());
  fillUncertainty(r, best->analysis, scaling);
  holdUndetermined(r, given, *best, scaling, options, data, clock);
  // A fit ended early is not known to be at a minimum, whatever its gradient,
  // and counts the starts it ran.
  r.stopped = clock.stopped;
  if (!r.stopped.empty()) r.converged = false, r.starts = static_cast<int>(ends.size());
  r.model = curves(r.best);
  describeBackground(r, options, data);
  statedSymmetries(r, data, options.free);
  regionWarnings(r, data);
  boundWarnings(r, options.free);
  statisticalWarnings(r);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return r;
}

void compareWithGrid(FitResult& r, const std::vector<Dataset>& data, unsigned threads) {
  const std::vector<std::vector<double>> grid = modelCurves({gridParameters(r.best, r.m)}, data, threads)[0];
  // The continuum's particles: a continuum fit's own curves, else computed.
  std::vector<std::vector<double>> continuum = r.model;
  if (r.modelKind == ModelKind::Continuum) {
    for (std::size_t d = 0; d < r.backgroundValues.size(); ++d)
      for (std::size_t k = 0; k < continuum[d].size(); ++k) continuum[d][k] -= r.backgroundValues[d][k];
  } else {
    continuum = continuumCurves(r.best, data, kDefaultTolerance);
  }
  r.gridDeparture.clear();
  r.gridNotFinite.clear();
  r.gridNeededM.clear();
  r.neededM = 0;
  r.gridUnforetold = false;
  for (std::size_t d = 0; d < data.size(); ++d) {
    double difference = 0.0, largest = 0.0;
    bool finite = true;
    for (std::size_t k = 0; k < data[d].curve.size(); ++k) {
      // std::max would pass over a nan and report the grid as exact.
      finite = finite && std::isfinite(grid[d][k]) && std::isfinite(continuum[d][k]);
      difference = std::max(difference, std::fabs(grid[d][k] - continuum[d][k]));
      largest = std::max(largest, std::fabs(continuum[d][k]));
    }
    r.gridNotFinite.push_back(!finite);
    r.gridDeparture.push_back(finite && largest > 0.0 ? difference / largest : std::nan(""));
    // The m whose departure is the data's smallest relative error (of the
    // measured moments: a model that misses the data must not set it). The
    // 1/m law holds once the grid is near its limit: from a departure
    // beyond a quarter no m is foretold.
    double measured = 0.0;
    for (double M : data[d].curve.moment) measured = std::max(measured, std::fabs(M));
    const double relative = *std::min_element(data[d].sigma.begin(), data[d].sigma.end()) / measured;
    const double departure = r.gridDeparture.back();
    const double m = departure <= kLargestForetoldDeparture
                         ? std::max(1.0, std::ceil(static_cast<double>(r.m) * departure / relative))
                         : std::nan("");
    r.gridNeededM.push_back(std::isfinite(m) ? m : 0.0);
    if (std::isfinite(m)) r.neededM = std::max(r.neededM, static_cast<std::int32_t>(std::min(m, 1e9)));
    if (!std::isfinite(m) && finite) r.gridUnforetold = true;
    if (!finite)
      r.warnings.push_back(data[d].name + ": the program's grid at m = " + std::to_string(r.m) +
                           " gives nan or inf at the fitted parameters (its density sums to 0 or overflows); "
                           "preisach run on the fitted file writes rows of nan");
  }
}

FitResult compareRecord(const model::ModelParameters& physics,
                        const std::vector<Dataset>& data,
                        const FitOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  FitResult r;
  describeFit(r, physics, data, options);
  r.best = physics;
  r.model = curvesFor(options, data)(physics);
  r.chiSquare = chiSquareWith(Background(options.background, data), r.model, data);
  describeBackground(r, options, data);
  regionWarnings(r, data);
  if (!std::isfinite(r.chiSquare)) throw std::runtime_error("the model is not finite at the parameter file's record");
  r.converged = true;  // nothing was to converge
  r.compared = true;
  statisticalWarnings(r);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return r;
}

}  // namespace preisach::fitting

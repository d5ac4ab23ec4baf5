#include "fitting/model_curves.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <utility>

#include "hysteresis/loop_pass.h"
#include "measured/data_error.h"
#include "model/parallel.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::fitting {

namespace {

// A stated error beyond this many times a curve's largest moment says the
// curve tells nothing.
constexpr double kLargestSigma = 1e3;
// ... and one below this share of it is finer than any magnetometer.
constexpr double kSmallestSigma = 1e-9;

std::string formatted(double value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

// A weight is 1 / sigma^2: a sigma so small that it overflows (moments of
// 1e-320 emu, a stated error of 1e-300) leaves the fit nothing to weigh.
void requireWeights(const Dataset& d) {
  for (double s : d.sigma)
    if (!std::isnormal(s) || !std::isfinite(1.0 / (s * s)))
      throw measured::DataError(d.curve.file + ": sigma " + formatted(s) +
                                " emu is too small to weigh the points by; give moments and errors in emu of an "
                                "ordinary size");
}

}  // namespace

void weigh(Dataset& d) {
  if (d.curve.hasErrors()) {
    for (std::size_t k = 0; k < d.curve.size(); ++k)
      if (!(d.curve.error[k] > 0.0) || !std::isfinite(d.curve.error[k]))
        throw measured::DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) +
                                  ": the standard error must be a positive finite number");
    d.sigma = d.curve.error;
    d.measuredErrors = true;
    d.weights = "the file's standard errors";
    requireWeights(d);
    return;
  }
  double largest = 0.0;
  for (double m : d.curve.moment) largest = std::max(largest, std::fabs(m));
  if (!(largest > 0.0)) throw measured::DataError(d.curve.file + ": every moment is 0, so the curve cannot be weighed");
  std::ostringstream stated;
  switch (d.noise.kind) {
    case NoiseModel::Kind::Relative:
      d.sigma.clear();
      for (double m : d.curve.moment) d.sigma.push_back(d.noise.value * std::max(std::fabs(m), 1e-3 * largest));
      d.measuredErrors = true;
      stated << "stated relative errors of " << 100.0 * d.noise.value << " % of each moment (--error)";
      break;
    case NoiseModel::Kind::Absolute:
      d.sigma.assign(d.curve.size(), d.noise.value);
      d.measuredErrors = true;
      stated << "stated errors of " << d.noise.value << " emu (--error)";
      break;
    case NoiseModel::Kind::Unstated:
      d.sigma.assign(d.curve.size(), 0.01 * largest);
      d.measuredErrors = false;
      stated << "uniform (no error column); errors scaled by the reduced chi-square";
      break;
  }
  d.weights = stated.str();
  requireWeights(d);
  for (double s : d.sigma) {
    if (s > kLargestSigma * largest)
      throw measured::DataError(d.curve.file + ": the stated error " + formatted(s) +
                                " emu is more than a thousand times the curve's largest moment " + formatted(largest) +
                                " emu: the curve would tell nothing (chi-square 0)");
    if (s < kSmallestSigma * largest)
      throw measured::DataError(d.curve.file + ": the stated error " + formatted(s) +
                                " emu is less than a billionth of the curve's largest moment " + formatted(largest) +
                                " emu: no magnetometer measures so finely");
  }
}

namespace {

using parameters::ParameterSet;

// The loop's moments at its measured fields: the density normalised at
// T_hyst over the rectangle of Ha_max, all fields of both branches summed
// in one pass over the grid.
std::vector<double> loopMoments(ParameterSet p, const Dataset& d) {
  p.T_hyst = d.temperature;
  std::vector<float> down, up;
  for (std::size_t k = 0; k < d.curve.size(); ++k)
    (d.descending[k] ? down : up).push_back(static_cast<float>(d.curve.x[k]));
  const hysteresis::LoopValues loop =
      hysteresis::evaluateLoop(parameters::modelParameters(p), p.m, down, up, nullptr, 1);
  std::vector<double> moments(d.curve.size());
  std::size_t nextDown = 0, nextUp = 0;
  for (std::size_t k = 0; k < d.curve.size(); ++k)
    moments[k] = d.descending[k] ? loop.descending[nextDown++].M : loop.ascending[nextUp++].M;
  return moments;
}

}  // namespace

ParameterSet gridParameters(const model::ModelParameters& q, std::int32_t m, ParameterSet p) {
  p.Tc = q.Tc, p.mu0 = q.mu0, p.Gamma = q.Gamma, p.hc0_mean = q.hc0_mean, p.Gamma_c = q.Gamma_c;
  p.sigmac0 = q.sigmac0, p.Gamma_cprim = q.Gamma_cprim, p.sigmai0 = q.sigmai0, p.Gamma_i = q.Gamma_i;
  p.km = q.km, p.N = q.N, p.PDF = q.PDF, p.ha = q.ha, p.T_max = q.T_max, p.T_hyst = q.T_hyst;
  p.Ha_max = q.Ha_max, p.s = q.s, p.lambda = q.lambda, p.f = q.f;
  p.m = m;
  return p;
}

model::ModelParameters physicsOf(const ParameterSet& p) {
  model::ModelParameters q;
  q.Tc = p.Tc, q.mu0 = p.mu0, q.Gamma = p.Gamma, q.hc0_mean = p.hc0_mean, q.Gamma_c = p.Gamma_c;
  q.sigmac0 = p.sigmac0, q.Gamma_cprim = p.Gamma_cprim, q.sigmai0 = p.sigmai0, q.Gamma_i = p.Gamma_i;
  q.km = p.km, q.N = p.N, q.PDF = p.PDF, q.ha = p.ha, q.T_max = p.T_max, q.T_hyst = p.T_hyst;
  q.Ha_max = p.Ha_max, q.s = p.s, q.lambda = p.lambda, q.f = p.f;
  return q;
}

std::vector<std::vector<std::vector<double>>> modelCurves(const std::vector<ParameterSet>& sets,
                                                          const std::vector<Dataset>& data,
                                                          unsigned threads) {
  // The ZFC/FC points to compute: one per distinct (field, temperature) of
  // a set, serving both curves where they share temperatures; ordered by
  // field, so that the temperatures of one field can share sweeps.
  std::map<std::pair<float, float>, std::size_t> pointIndex;
  for (const Dataset& d : data) {
    if (d.kind == CurveKind::Loop) continue;
    for (double T : d.curve.x) pointIndex.emplace(std::pair<float, float>{d.field, static_cast<float>(T)}, 0);
  }
  std::vector<std::pair<float, float>> points;
  for (auto& [key, index] : pointIndex) {
    index = points.size();
    points.push_back(key);
  }
  // The sweeps: runs of points of one field, a few temperatures each.
  std::vector<std::pair<std::size_t, std::size_t>> sweeps;
  for (std::size_t first = 0; first < points.size();) {
    std::size_t last = first;
    while (last < points.size() && points[last].first == points[first].first) ++last;
    const std::vector<std::size_t> firsts = zfcfc::sweepGroups(last - first, zfcfc::kTemperaturesPerSweep, 1);
    for (std::size_t k = 0; k + 1 < firsts.size(); ++k) sweeps.emplace_back(first + firsts[k], first + firsts[k + 1]);
    first = last;
  }
  std::vector<std::size_t> loops;
  for (std::size_t k = 0; k < data.size(); ++k)
    if (data[k].kind == CurveKind::Loop) loops.push_back(k);

  // Tasks: every loop of every set (the longest first), then every sweep.
  const std::size_t perSet = loops.size() + sweeps.size();
  std::vector<std::vector<std::pair<double, double>>> zfcFc(sets.size(),
                                                            std::vector<std::pair<double, double>>(points.size()));
  std::vector<std::vector<std::vector<double>>> loopValues(sets.size(), std::vector<std::vector<double>>(loops.size()));
  model::forEachIndex(sets.size() * perSet, threads, [&](std::size_t task) {
    const bool isLoop = task < sets.size() * loops.size();
    if (isLoop) {
      const std::size_t s = task / loops.size(), l = task % loops.size();
      loopValues[s][l] = loopMoments(sets[s], data[loops[l]]);
      return;
    }
    const std::size_t rest = task - sets.size() * loops.size();
    const std::size_t s = rest / sweeps.size();
    const auto [first, last] = sweeps[rest % sweeps.size()];
    const ParameterSet& p = sets[s];
    std::vector<float> temperatures;
    for (std::size_t k = first; k < last; ++k) temperatures.push_back(points[k].second);
    model::ModelParameters physics = parameters::modelParameters(p);
    physics.ha = points[first].first;
    const std::vector<zfcfc::ZfcFcPointValues> values = zfcfc::evaluateZfcFcPoints(physics, p.m, temperatures);
    for (std::size_t k = first; k < last; ++k) zfcFc[s][k] = {values[k - first].M_ZFC, values[k - first].M_FC};
  });

  std::vector<std::vector<std::vector<double>>> curves(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) {
    std::size_t loop = 0;
    for (const Dataset& d : data) {
      if (d.kind == CurveKind::Loop) {
        curves[s].push_back(loopValues[s][loop++]);
        continue;
      }
      std::vector<double> moments;
      for (double T : d.curve.x) {
        const std::pair<double, double>& v = zfcFc[s][pointIndex.at({d.field, static_cast<float>(T)})];
        moments.push_back(d.kind == CurveKind::Zfc ? v.first : v.second);
      }
      curves[s].push_back(std::move(moments));
    }
  }
  return curves;
}

}  // namespace preisach::fitting

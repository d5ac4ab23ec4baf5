#include "curves/model_curves.h"

#include <cmath>

#include "continuum/continuum.h"
#include "history/field_history.h"
#include "history/forc_simulation.h"
#include "hysteresis/loop_pass.h"
#include "model/cores.h"
#include "model/parallel.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::curves {

namespace {

continuum::Physics<double> physics(const model::ModelParameters& p) {
  return continuum::physicsFrom<double>(p);
}

continuum::Tolerance tolerance(double relative) {
  continuum::Tolerance t;
  t.relative = relative;
  return t;
}

std::array<double, 9> separateIntegrals(const zfcfc::ZfcFcPointValues& v) {
  return {v.Integral11SP, v.Integral22SP,  v.Integral1p,    v.Integral1m,  v.Integral2p,
          v.Integral2m,   v.Integral3pZFC, v.Integral3mZFC, v.Integral3pFC};
}

std::array<double, 9> separateIntegrals(const continuum::ZfcFcPoint<double>& v) {
  return {v.Integral11SP, v.Integral22SP,  v.Integral1p,    v.Integral1m,  v.Integral2p,
          v.Integral2m,   v.Integral3pZFC, v.Integral3mZFC, v.Integral3pFC};
}

// The program's points, a few temperatures per sweep of its grid, the
// sweeps spread over the cores: each point bit for bit the program's.
std::vector<zfcfc::ZfcFcPointValues> gridPoints(const model::ModelParameters& p,
                                                const std::vector<float>& temperatures,
                                                std::int32_t m,
                                                unsigned threads) {
  const std::vector<std::size_t> firsts =
      zfcfc::sweepGroups(temperatures.size(), zfcfc::kTemperaturesPerSweep, model::coresFor(threads));
  std::vector<std::vector<zfcfc::ZfcFcPointValues>> groups(firsts.empty() ? 0 : firsts.size() - 1);
  model::forEachIndex(groups.size(), threads, [&](std::size_t k) {
    const auto at = [&](std::size_t n) { return temperatures.begin() + static_cast<std::ptrdiff_t>(n); };
    groups[k] = zfcfc::evaluateZfcFcPoints(p, m, std::vector<float>(at(firsts[k]), at(firsts[k + 1])));
  });
  std::vector<zfcfc::ZfcFcPointValues> points;
  for (const auto& group : groups) points.insert(points.end(), group.begin(), group.end());
  return points;
}

template <typename Point>
MomentPoint momentPoint(double H, const Point& v) {
  return MomentPoint{H, v.M, v.irreversibleColumn, v.reversibleColumn, v.branch};
}

}  // namespace

ZfcFcCurves zfcfcCurves(const model::ModelParameters& p,
                        const std::vector<float>& temperatures,
                        const ModelChoice& choice,
                        unsigned threads) {
  ZfcFcCurves curves;
  const auto add = [&](float T, double zfc, double fc, const std::array<double, 9>& integrals) {
    curves.T.push_back(static_cast<double>(T));
    curves.M_ZFC.push_back(zfc);
    curves.M_FC.push_back(fc);
    curves.integrals.push_back(integrals);
  };
  if (choice.evaluator == Evaluator::Grid) {
    const std::vector<zfcfc::ZfcFcPointValues> points = gridPoints(p, temperatures, choice.m, threads);
    for (std::size_t k = 0; k < points.size(); ++k)
      add(temperatures[k], points[k].M_ZFC, points[k].M_FC, separateIntegrals(points[k]));
    return curves;
  }
  std::vector<continuum::ZfcFcPoint<double>> points(temperatures.size());
  const continuum::Physics<double> model = physics(p);
  model::forEachIndex(points.size(), threads, [&](std::size_t k) {
    points[k] = continuum::zfcFcPoint(model, static_cast<double>(temperatures[k]), tolerance(choice.tolerance));
  });
  for (std::size_t k = 0; k < points.size(); ++k)
    add(temperatures[k], points[k].M_ZFC, points[k].M_FC, separateIntegrals(points[k]));
  return curves;
}

std::vector<MomentPoint> loopCurve(const model::ModelParameters& p,
                                   const std::vector<float>& down,
                                   const std::vector<float>& up,
                                   const ModelChoice& choice,
                                   unsigned threads) {
  std::vector<MomentPoint> points;
  if (choice.evaluator == Evaluator::Grid) {
    const hysteresis::LoopValues loop = hysteresis::evaluateLoop(p, choice.m, down, up, nullptr, threads);
    for (std::size_t k = 0; k < down.size(); ++k)
      points.push_back(momentPoint(static_cast<double>(down[k]), loop.descending[k]));
    for (std::size_t k = 0; k < up.size(); ++k)
      points.push_back(momentPoint(static_cast<double>(up[k]), loop.ascending[k]));
    return points;
  }
  const continuum::LoopModel<double> loop(physics(p), tolerance(choice.tolerance));
  for (float H : down)
    points.push_back(
        momentPoint(static_cast<double>(H), loop.point(static_cast<double>(H), model::Branch::Descending)));
  for (float H : up)
    points.push_back(momentPoint(static_cast<double>(H), loop.point(static_cast<double>(H), model::Branch::Ascending)));
  return points;
}

std::vector<MomentPoint> historyCurve(const model::ModelParameters& p,
                                      const std::vector<float>& fields,
                                      const ModelChoice& choice) {
  std::vector<MomentPoint> points;
  if (choice.evaluator == Evaluator::Grid) {
    history::FieldHistory sample(p, choice.m);
    const std::vector<hysteresis::HysteresisPointValues> values = sample.applyAll(fields);
    for (std::size_t k = 0; k < fields.size(); ++k)
      points.push_back(momentPoint(static_cast<double>(fields[k]), values[k]));
    return points;
  }
  continuum::FieldHistory<double> sample(physics(p), tolerance(choice.tolerance));
  for (float H : fields) points.push_back(momentPoint(static_cast<double>(H), sample.apply(static_cast<double>(H))));
  return points;
}

measured::ForcSet forcCurves(const model::ModelParameters& p,
                             double step,
                             const ModelChoice& choice,
                             unsigned threads) {
  if (choice.evaluator == Evaluator::Grid) return history::simulateForcs(p, choice.m, step, threads);
  const continuum::Physics<double> model = physics(p);
  const continuum::LoopModel<double> loop(model, tolerance(choice.tolerance));
  const double saturated = loop.point(static_cast<double>(p.Ha_max), model::Branch::Descending).M;
  measured::ForcSet forcs;
  for (const continuum::ForcCurve& c : continuum::forcCurves(model, step, tolerance(choice.tolerance))) {
    // The curve reversed at +Ha_max itself is its one saturated point.
    if (c.H.size() < 2) continue;
    forcs.curves.push_back({static_cast<double>(p.Ha_max), saturated, c.H, c.M});
  }
  return forcs;
}

std::vector<std::vector<history::ForcValue>> exactForcDistribution(
    const model::ModelParameters& p, const std::vector<std::vector<history::ForcValue>>& diagram, double relative) {
  const continuum::LoopModel<double> loop(physics(p), tolerance(relative));
  std::vector<std::vector<history::ForcValue>> exact = diagram;
  for (auto& block : exact)
    for (history::ForcValue& v : block) v.rho = loop.forcDensity(v.Hc, v.Hu);
  return exact;
}

}  // namespace preisach::curves

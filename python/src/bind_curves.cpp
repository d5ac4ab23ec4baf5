#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>

#include "arrays.h"
#include "bindings.h"
#include "curves/model_curves.h"
#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "history/forc_distribution.h"
#include "interruptible.h"
#include "lab/lab_files.h"
#include "lab/run_limits.h"
#include "measured/data_error.h"
#include "python_checks.h"

namespace py = pybind11;

namespace preisach::python {

namespace {

using parameters::ParameterSet;

// The lab's bounds of a FORC step: the option's own, and the most reversal
// curves one run makes.
constexpr double kLargestForcStep = 1e7;  // Oe
constexpr double kMostReversalCurves = 2000.0;

// The fields the FORC protocol applies, as simulateForcs makes them: n
// reversal fields, the k-th curve with k points after its saturation.
lab::Work forcWork(double Ha_max, double step, std::int32_t m) {
  const double curves = std::floor(2.0 * Ha_max / step) + 1.0;
  lab::Work work;
  work.fieldPoints = curves * (curves + 1.0) / 2.0 + curves;
  work.m = m;
  return work;
}

// A NaN or infinite moment is no result: refused with where it arose.
void requireFinite(const curves::ModelChoice& choice,
                   const std::string& what,
                   const std::string& where,
                   std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v))
      throw measured::DataError(what + ": the " + (choice.evaluator == curves::Evaluator::Grid ? "grid" : "continuum") +
                                " gives " + lab::formatNumber(v) + " at " + where +
                                "; the parameters lie outside the model's range there (a temperature next to Tc, "
                                "a scale that overflows or vanishes)");
}

py::dict zfcfc(
    const ParameterSet& p, const std::vector<double>& T, const std::string& model, double tol, unsigned threads) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkZfcFc(p, choice);
  const std::vector<float> temperatures = checkedTemperatures(T, p.Tc);
  if (choice.evaluator == curves::Evaluator::Grid)
    lab::requireFeasible({static_cast<double>(temperatures.size()), p.m}, "zfcfc");
  // A few sweeps of the grid (or continuum points) at a time: each point is
  // computed alone, so the pieces are the whole curve's bits, and Ctrl-C
  // stops the work between them.
  const curves::ZfcFcCurves c = interruptible([p, temperatures, choice, threads](const std::atomic<bool>& stop) {
    constexpr std::size_t kPiece = 32;
    curves::ZfcFcCurves all;
    for (std::size_t first = 0; first < temperatures.size(); first += kPiece) {
      stopIfAsked(stop);
      const auto at = [&](std::size_t n) {
        return temperatures.begin() + static_cast<std::ptrdiff_t>(std::min(n, temperatures.size()));
      };
      const curves::ZfcFcCurves piece =
          curves::zfcfcCurves(p, std::vector<float>(at(first), at(first + kPiece)), choice, threads);
      all.T.insert(all.T.end(), piece.T.begin(), piece.T.end());
      all.M_ZFC.insert(all.M_ZFC.end(), piece.M_ZFC.begin(), piece.M_ZFC.end());
      all.M_FC.insert(all.M_FC.end(), piece.M_FC.begin(), piece.M_FC.end());
      all.integrals.insert(all.integrals.end(), piece.integrals.begin(), piece.integrals.end());
    }
    return all;
  });
  for (std::size_t k = 0; k < c.T.size(); ++k)
    requireFinite(choice, "zfcfc", "T = " + lab::formatNumber(c.T[k]) + " K", {c.M_ZFC[k], c.M_FC[k]});
  py::array_t<double> integrals({static_cast<py::ssize_t>(c.T.size()), py::ssize_t{9}});
  auto view = integrals.mutable_unchecked<2>();
  for (std::size_t k = 0; k < c.T.size(); ++k)
    for (std::size_t j = 0; j < 9; ++j)
      view(static_cast<py::ssize_t>(k), static_cast<py::ssize_t>(j)) = c.integrals[k][j];
  py::dict out;
  out["T"] = toArray(c.T);
  out["zfc"] = toArray(c.M_ZFC);
  out["fc"] = toArray(c.M_FC);
  out["integrals"] = integrals;
  return out;
}

// The program's temperatures, refused as the lab refuses a T_max that asks
// for more than the program computes.
std::vector<float> programTemperatures(float T_max) {
  if (driver::temperatureCount(T_max, driver::kMostTemperatures) > driver::kMostTemperatures)
    throw measured::DataError("T_max=" + std::to_string(T_max) + " K asks for more than " +
                              std::to_string(driver::kMostTemperatures) + " temperatures in steps of 10 K");
  return driver::temperatureSchedule(T_max);
}

py::dict moments(const std::vector<curves::MomentPoint>& points, const curves::ModelChoice& choice, const char* what) {
  std::vector<double> H, M, irr, rev;
  std::vector<int> branch;
  for (const curves::MomentPoint& q : points) {
    requireFinite(choice, what, "H = " + lab::formatNumber(q.H) + " Oe", {q.M, q.irreversible, q.reversible});
    H.push_back(q.H), M.push_back(q.M), irr.push_back(q.irreversible), rev.push_back(q.reversible);
    branch.push_back(q.branch == model::Branch::Descending ? -1 : q.branch == model::Branch::Ascending ? 1 : 0);
  }
  py::dict out;
  out["H"] = toArray(H);
  out["M"] = toArray(M);
  out["M_irr"] = toArray(irr);
  out["M_rev"] = toArray(rev);
  out["branch"] = toArray(branch);
  return out;
}

py::dict loop(const ParameterSet& p,
              const std::vector<double>& down,
              const std::vector<double>& up,
              const std::string& model,
              double tol) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkLoop(p);
  const std::vector<float> d = checkedFields(down, p.Ha_max), u = checkedFields(up, p.Ha_max);
  if (choice.evaluator == curves::Evaluator::Grid)
    lab::requireFeasible({static_cast<double>(d.size() + u.size()), p.m}, "loop");
  return moments(
      interruptible([p, d, u, choice](const std::atomic<bool>&) { return curves::loopCurve(p, d, u, choice); }), choice,
      "loop");
}

py::dict history(const ParameterSet& p, const std::vector<double>& fields, const std::string& model, double tol) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkLoop(p);
  const std::vector<float> H = checkedFields(fields, p.Ha_max);
  if (choice.evaluator == curves::Evaluator::Grid)
    lab::requireFeasible({static_cast<double>(H.size()), p.m}, "history: " + std::to_string(H.size()) + " fields");
  return moments(interruptible([p, H, choice](const std::atomic<bool>&) { return curves::historyCurve(p, H, choice); }),
                 choice, "history");
}

py::list forc(const ParameterSet& p, double step, const std::string& model, double tol) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkLoop(p);
  const double Ha_max = static_cast<double>(p.Ha_max);
  if (!std::isfinite(step) || !(step > 0.0))
    throw measured::DataError("step: " + lab::formatNumber(step) +
                              " lies outside the range: give a number above 0 and at most " +
                              lab::formatNumber(kLargestForcStep) + " Oe");
  if (step > Ha_max)
    throw measured::DataError("step " + lab::formatNumber(step) + " Oe is larger than Ha_max = " +
                              lab::formatNumber(Ha_max) + " Oe: it leaves fewer than three reversal curves");
  // The curves' points grow as the square of their number.
  if (2.0 * Ha_max / step > kMostReversalCurves)
    throw measured::DataError("step " + lab::formatNumber(step) + " Oe makes more than " +
                              lab::formatNumber(kMostReversalCurves) + " reversal curves; take a larger step");
  if (choice.evaluator == curves::Evaluator::Grid)
    lab::requireFeasible(forcWork(Ha_max, step, p.m), "forc step " + lab::formatNumber(step));
  const measured::ForcSet set =
      interruptible([p, step, choice](const std::atomic<bool>&) { return curves::forcCurves(p, step, choice); });
  for (const measured::ForcSet::Curve& curve : set.curves)
    for (std::size_t k = 0; k < curve.M.size(); ++k)
      requireFinite(choice, "forc", "H = " + lab::formatNumber(curve.H[k]) + " Oe", {curve.M[k]});
  return forcSetToList(set);
}

measured::ForcSet forcSetOf(const py::list& curves) {
  measured::ForcSet set;
  for (const py::handle& item : curves) {
    const py::dict d = item.cast<py::dict>();
    measured::ForcSet::Curve c;
    c.H = d["H"].cast<std::vector<double>>();
    c.M = d["M"].cast<std::vector<double>>();
    if (c.H.size() != c.M.size())
      throw measured::DataError("a FORC has " + std::to_string(c.H.size()) + " fields but " +
                                std::to_string(c.M.size()) + " moments");
    if (d.contains("calibration_field")) c.calibrationField = d["calibration_field"].cast<double>();
    if (d.contains("calibration_moment")) c.calibrationMoment = d["calibration_moment"].cast<double>();
    set.curves.push_back(std::move(c));
  }
  return set;
}

py::list forcDistribution(const py::list& curves, int sf) {
  if (sf < 1 || sf > 20) throw measured::DataError("the smoothing factor SF must be between 1 and 20");
  const measured::ForcSet set = forcSetOf(curves);
  const std::vector<std::vector<history::ForcValue>> blocks =
      interruptible([set, sf](const std::atomic<bool>&) { return history::forcDistribution(set, sf); });
  py::list out;
  for (const std::vector<history::ForcValue>& block : blocks) {
    std::vector<double> Hc, Hu, rho;
    for (const history::ForcValue& v : block) Hc.push_back(v.Hc), Hu.push_back(v.Hu), rho.push_back(v.rho);
    out.append(py::make_tuple(toArray(Hc), toArray(Hu), toArray(rho)));
  }
  return out;
}

}  // namespace

void bindCurves(py::module_& m) {
  m.def("temperature_schedule", &programTemperatures, py::arg("T_max"));
  m.def("field_schedule", [](float Ha_max, bool descending) {
    return driver::fieldSchedule(Ha_max, descending ? model::Branch::Descending : model::Branch::Ascending);
  });
  m.def(
      "check_temperatures", [](const std::vector<double>& T, float Tc) { checkedTemperatures(T, Tc); }, py::arg("T"),
      py::arg("Tc"));
  m.def("zfcfc", &zfcfc, py::arg("p"), py::arg("T"), py::arg("model"), py::arg("tol"), py::arg("threads") = 0u);
  m.def("loop", &loop, py::arg("p"), py::arg("down"), py::arg("up"), py::arg("model"), py::arg("tol"));
  m.def("history", &history, py::arg("p"), py::arg("fields"), py::arg("model"), py::arg("tol"));
  m.def("forc", &forc, py::arg("p"), py::arg("step"), py::arg("model"), py::arg("tol"));
  m.def("forc_distribution", &forcDistribution, py::arg("curves"), py::arg("sf"));
}

}  // namespace preisach::python

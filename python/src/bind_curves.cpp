#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "arrays.h"
#include "bindings.h"
#include "curves/model_curves.h"
#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "history/forc_distribution.h"
#include "measured/data_error.h"
#include "python_checks.h"

namespace py = pybind11;

namespace preisach::python {

namespace {

using parameters::ParameterSet;

py::dict zfcfc(
    const ParameterSet& p, const std::vector<double>& T, const std::string& model, double tol, unsigned threads) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkZfcFc(p, choice);
  const std::vector<float> temperatures = checkedTemperatures(T, p.Tc);
  curves::ZfcFcCurves c;
  {
    py::gil_scoped_release release;
    c = curves::zfcfcCurves(p, temperatures, choice, threads);
  }
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

py::dict moments(const std::vector<curves::MomentPoint>& points) {
  std::vector<double> H, M, irr, rev;
  std::vector<int> branch;
  for (const curves::MomentPoint& q : points) {
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
  std::vector<curves::MomentPoint> points;
  {
    py::gil_scoped_release release;
    points = curves::loopCurve(p, d, u, choice);
  }
  return moments(points);
}

py::dict history(const ParameterSet& p, const std::vector<double>& fields, const std::string& model, double tol) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkLoop(p);
  const std::vector<float> H = checkedFields(fields, p.Ha_max);
  std::vector<curves::MomentPoint> points;
  {
    py::gil_scoped_release release;
    points = curves::historyCurve(p, H, choice);
  }
  return moments(points);
}

py::list forc(const ParameterSet& p, double step, const std::string& model, double tol) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  checkLoop(p);
  if (!(step > 0.0) || !(step <= static_cast<double>(p.Ha_max)))
    throw measured::DataError("the FORC step " + std::to_string(step) + " Oe must be positive and at most Ha_max");
  if (static_cast<double>(p.Ha_max) / step > 2000.0)
    throw measured::DataError("the FORC step asks for more than 2000 curves");
  measured::ForcSet set;
  {
    py::gil_scoped_release release;
    set = curves::forcCurves(p, step, choice);
  }
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
  std::vector<std::vector<history::ForcValue>> blocks;
  {
    py::gil_scoped_release release;
    blocks = history::forcDistribution(set, sf);
  }
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
  m.def("zfcfc", &zfcfc, py::arg("p"), py::arg("T"), py::arg("model"), py::arg("tol"), py::arg("threads") = 0u);
  m.def("loop", &loop, py::arg("p"), py::arg("down"), py::arg("up"), py::arg("model"), py::arg("tol"));
  m.def("history", &history, py::arg("p"), py::arg("fields"), py::arg("model"), py::arg("tol"));
  m.def("forc", &forc, py::arg("p"), py::arg("step"), py::arg("model"), py::arg("tol"));
  m.def("forc_distribution", &forcDistribution, py::arg("curves"), py::arg("sf"));
}

}  // namespace preisach::python

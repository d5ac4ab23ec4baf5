#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "arrays.h"
#include "bindings.h"
#include "fitting/continuum_curves.h"
#include "fitting/fit.h"
#include "interruptible.h"
#include "lab/fit_command.h"
#include "lab/lab_files.h"
#include "lab/run_limits.h"
#include "measured/data_error.h"
#include "python_checks.h"

namespace py = pybind11;

namespace preisach::python {

namespace {

using fitting::CurveKind;
using fitting::Dataset;
using measured::DataError;
using parameters::ParameterSet;

using fitting::weigh;

// One dataset from the package's dict: kind, name, x, M, error (or None),
// field (ZFC, FC) or temperature and descending (loop).
Dataset dataset(const py::dict& d) {
  Dataset out;
  const std::string kind = d["kind"].cast<std::string>();
  out.kind = kind == "zfc" ? CurveKind::Zfc : kind == "fc" ? CurveKind::Fc : CurveKind::Loop;
  if (kind != "zfc" && kind != "fc" && kind != "loop")
    throw DataError("a dataset's kind must be zfc, fc or loop, not \"" + kind + "\"");
  out.name = d["name"].cast<std::string>();
  out.curve.file = d.contains("file") ? d["file"].cast<std::string>() : out.name;
  if (d.contains("condition")) out.condition = d["condition"].cast<std::string>();
  // How the file was read, for the report, as the command gives it.
  if (d.contains("report") && !d["report"].is_none()) {
    const py::dict r = d["report"].cast<py::dict>();
    out.curve.report.format = r["format"].cast<std::string>();
    out.curve.report.fieldUnit = r["field_unit"].cast<std::string>();
    out.curve.report.momentUnit = r["moment_unit"].cast<std::string>();
    out.curve.report.columns = r["columns"].cast<std::string>();
    out.curve.report.notes = r["notes"].cast<std::vector<std::string>>();
  }
  out.curve.x = d["x"].cast<std::vector<double>>();
  out.curve.moment = d["M"].cast<std::vector<double>>();
  if (!d["error"].is_none()) out.curve.error = d["error"].cast<std::vector<double>>();
  for (std::size_t k = 0; k < out.curve.error.size(); ++k)
    if (!std::isfinite(out.curve.error[k]) || !(out.curve.error[k] > 0.0))
      throw DataError(out.name + ": the standard error " + lab::formatNumber(out.curve.error[k]) + " of point " +
                      std::to_string(k) + " is not a positive finite number");
  const std::size_t n = out.curve.x.size();
  if (out.curve.moment.size() != n || (out.curve.hasErrors() && out.curve.error.size() != n))
    throw DataError(out.name + ": x, M and error must have the same length");
  if (n == 0) throw DataError(out.name + ": holds no point");
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(out.curve.x[k]) || !std::isfinite(out.curve.moment[k]))
      throw DataError(out.name + ": point " + std::to_string(k) + " is not a finite number");
    out.curve.line.push_back(static_cast<int>(k + 1));
  }
  if (out.kind == CurveKind::Loop) {
    out.temperature = d["temperature"].cast<float>();
    out.descending = d["descending"].cast<std::vector<bool>>();
    if (out.descending.size() != n) throw DataError(out.name + ": descending must have one value per point");
  } else {
    const double field = d["field"].cast<double>();
    if (!std::isfinite(field) || !std::isfinite(static_cast<float>(field)))
      throw DataError(out.name + ": the field " + lab::formatNumber(field) + " Oe is not a finite number");
    out.field = static_cast<float>(field);
  }
  weigh(out);
  return out;
}

double highestTemperature(const std::vector<Dataset>& data, const ParameterSet& p) {
  double highest = static_cast<double>(p.T_max);
  for (const Dataset& d : data) {
    if (d.kind == CurveKind::Loop) highest = std::max(highest, static_cast<double>(d.temperature));
    for (double T : d.curve.x)
      if (d.kind != CurveKind::Loop) highest = std::max(highest, T);
  }
  return highest;
}

py::dict resultDict(const fitting::FitResult& r, const std::vector<Dataset>& data, const ParameterSet& start) {
  py::dict d;
  d["best"] = lab::fittedRecord(r, data, start);
  d["names"] = r.names;
  d["values"] = toArray(r.values);
  d["errors"] = toArray(r.errors);
  d["start"] = toArray(r.start);
  d["stopped"] = r.stopped;
  d["correlation"] = r.correlation;
  d["chisqr"] = r.chiSquare;
  d["points"] = r.points;
  d["converged"] = r.converged;
  d["measured_errors"] = r.measuredErrors;
  py::list minima;
  for (const fitting::Minimum& m : r.minima)
    minima.append(py::dict(py::arg("chisqr") = m.chiSquare, py::arg("values") = toArray(m.values),
                           py::arg("starts") = m.starts, py::arg("held") = m.held));
  d["minima"] = minima;
  d["warnings"] = r.warnings;
  d["undetermined"] = r.undetermined;
  d["model"] = r.model;
  py::list background;
  for (const fitting::BackgroundTerm& t : r.background)
    background.append(py::dict(py::arg("name") = t.name, py::arg("unit") = t.unit, py::arg("meaning") = t.meaning,
                               py::arg("value") = t.value, py::arg("stderr") = t.error));
  d["background"] = background;
  d["background_values"] = r.backgroundValues;
  d["sigma"] = r.sigma;
  std::ostringstream report;
  fitting::writeReport(report, r, data);
  d["report"] = report.str();
  return d;
}

py::dict fit(const ParameterSet& p,
             const py::list& list,
             const std::string& free,
             const std::string& model,
             double tol,
             int starts,
             bool givenStart,
             const std::vector<std::string>& background,
             const std::vector<std::string>& errors,
             int maxIterations,
             double maxTime) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  if (starts < 1 || starts > 1000) throw DataError("starts must lie between 1 and 1000");
  if (maxIterations < 0) throw DataError("max_iterations must be a positive whole number");
  if (!(maxTime >= 0.0) || !std::isfinite(maxTime)) throw DataError("max_time must be a positive number of seconds");
  std::vector<Dataset> data = datasets(list, p);
  // As the lab's --error: the stated noise of the curves without errors.
  lab::applyStatedNoise(data, errors);
  fitting::FitOptions options;
  options.model =
      choice.evaluator == curves::Evaluator::Grid ? fitting::ModelKind::Grid : fitting::ModelKind::Continuum;
  options.tolerance = tol;
  options.m = p.m;
  const model::ModelParameters physics = fitting::physicsOf(p);
  options.free = fitting::parseFreeParameters(free, physics, highestTemperature(data, p));
  options.background = fitting::parseBackground(background, data);
  options.limits.maxIterations = maxIterations;
  options.limits.maxSeconds = maxTime;
  const std::size_t points = fitting::pointsForParameters(data, options);
  options.starts = starts;
  options.startFromData = !givenStart;
  // A grid fit evaluates the grid at every point at least once per free
  // parameter and once more per step: refused as the lab refuses a run it
  // cannot finish.
  if (options.model == fitting::ModelKind::Grid)
    lab::requireFeasible({static_cast<double>(points) * static_cast<double>(options.free.size() + 1), p.m},
                         "fit --model grid (one Jacobian of " + std::to_string(points) + " points)");
  const fitting::FitResult result = interruptible([physics, data, options, p](const std::atomic<bool>& stop) {
    // The descent writes a line per iteration to its progress stream; this
    // one drops the lines and stops the fit when Ctrl-C was pressed.
    StopAtProgress lines(stop);
    std::ostream progress(&lines);
    progress.exceptions(std::ios::badbit);
    fitting::FitOptions o = options;
    o.progress = &progress;
    try {
      fitting::FitResult r = fitting::fitParameters(physics, data, o);
      stopIfAsked(stop);
      lab::compareWithProgram(r, data, p);
      return r;
    } catch (const std::runtime_error& e) {
      if (dynamic_cast<const DataError*>(&e) != nullptr) throw;
      throw DataError("the fit failed: " + std::string(e.what()));
    }
  });
  if (!std::isfinite(result.chiSquare))
    throw DataError("the fit gives chi-square " + lab::formatNumber(result.chiSquare) +
                    ": the model or the data hold a value that is not a finite number");
  return resultDict(result, data, p);
}

// The model at the points of every dataset.
std::vector<std::vector<double>> modelAt(
    const ParameterSet& p, const py::list& list, const std::string& model, double tol, unsigned threads) {
  const curves::ModelChoice choice = chooseModel(model, tol, p.m);
  const std::vector<Dataset> data = datasets(list, p);
  if (choice.evaluator == curves::Evaluator::Grid) {
    double points = 0.0;
    for (const Dataset& d : data) points += static_cast<double>(d.curve.size());
    lab::requireFeasible({points, p.m}, "the grid at the data's points");
  }
  std::vector<std::vector<double>> curves = interruptible([p, data, choice, tol, threads](const std::atomic<bool>&) {
    if (choice.evaluator == curves::Evaluator::Continuum)
      return fitting::continuumCurves(fitting::physicsOf(p), data, tol);
    return fitting::modelCurves({p}, data, threads).front();
  });
  for (std::size_t d = 0; d < curves.size(); ++d)
    for (std::size_t k = 0; k < curves[d].size(); ++k)
      if (!std::isfinite(curves[d][k]))
        throw DataError(data[d].name + ": the " + (choice.evaluator == curves::Evaluator::Grid ? "grid" : "continuum") +
                        " gives " + lab::formatNumber(curves[d][k]) + " at x = " +
                        lab::formatNumber(data[d].curve.x[k]) + "; the parameters lie outside the model's range there");
  return curves;
}

}  // namespace

std::vector<Dataset> datasets(const py::list& list, const ParameterSet& p) {
  std::vector<Dataset> data;
  for (const py::handle& item : list) data.push_back(dataset(item.cast<py::dict>()));
  if (data.empty()) throw DataError("no measured data");
  for (const Dataset& d : data) {
    if (d.kind == CurveKind::Loop) {
      if (!(d.temperature > 0.0f) || !(d.temperature < p.Tc))
        throw DataError(d.name + ": the loop's temperature " + lab::formatNumber(d.temperature) +
                        " K is not between 0 and Tc = " + lab::formatNumber(p.Tc) + " K");
      checkedFields(d.curve.x, p.Ha_max);
    } else {
      checkedTemperatures(d.curve.x, p.Tc);
    }
  }
  return data;
}

void bindFit(py::module_& m) {
  m.def("fit", &fit, py::arg("p"), py::arg("data"), py::arg("free"), py::arg("model"), py::arg("tol"),
        py::arg("starts"), py::arg("given_start"), py::arg("background") = std::vector<std::string>{},
        py::arg("error") = std::vector<std::string>{}, py::arg("max_iterations") = 0, py::arg("max_time") = 0.0);
  m.def("model_at", &modelAt, py::arg("p"), py::arg("data"), py::arg("model"), py::arg("tol"), py::arg("threads") = 0u);
}

}  // namespace preisach::python

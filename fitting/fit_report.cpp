#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "fitting/fit.h"
#include "model/grid.h"

namespace preisach::fitting {

namespace {

std::string formatted(double value, int digits = 6) {
  std::ostringstream s;
  s << std::setprecision(digits) << value;
  return s.str();
}

void writeModel(std::ostream& out, const FitResult& r, const std::vector<Dataset>& data) {
  out << "[[Model]]\n";
  if (r.modelKind == ModelKind::Continuum)
    out << "    model              = continuum limit of the grid sums (integrals to a relative tolerance of "
        << formatted(r.tolerance, 3) << "), Jacobian by automatic differentiation\n";
  else
    out << "    model              = the program's grid at m = " << r.m
        << ", Jacobian by central differences with measured steps\n";
  for (const Dataset& d : data) {
    out << "    " << d.name << " (" << d.curve.file << "): " << d.curve.size() << " points ";
    if (d.kind == CurveKind::Loop)
      out << "at " << formatted(static_cast<double>(d.temperature)) << " K";
    else
      out << "in " << formatted(static_cast<double>(d.field)) << " Oe";
    out << " (" << d.condition << ")\n";
    // What the reader took from the file: its format, units and columns.
    if (!d.curve.report.format.empty()) out << "      read as " << measured::describe(d.curve.report) << "\n";
    for (const std::string& note : d.curve.report.notes) out << "      note: " << note << "\n";
  }
  for (const std::string& n : r.startNotes) out << "    start: " << n << "\n";
}

void writeStatistics(std::ostream& out, const FitResult& r, const std::vector<Dataset>& data) {
  const double n = static_cast<double>(r.points), k = static_cast<double>(r.values.size() + r.background.size());
  const double reduced = n > k ? r.chiSquare / (n - k) : std::nan("");
  out << "[[Fit Statistics]]\n";
  if (r.compared) {
    out << "    # fitting method   = none: the parameter file's record compared with the data\n";
  } else {
    out << "    # fitting method   = Levenberg-Marquardt, bounded trust region (Ceres Solver)\n";
    out << "    # iterations       = " << r.iterations << " over " << r.starts << (r.starts == 1 ? " start" : " starts")
        << "\n";
  }
  out << "    # data points      = " << r.points;
  for (const Dataset& d : data) out << (&d == &data.front() ? " (" : ", ") << d.name << " " << d.curve.size();
  out << ")\n";
  out << "    # variables        = " << r.values.size() + r.background.size();
  if (!r.background.empty()) out << " (" << r.background.size() << " of the background)";
  out << "\n";
  out << "    chi-square         = " << formatted(r.chiSquare, 7) << "\n";
  out << "    reduced chi-square = " << formatted(reduced, 7) << "\n";
  out << "    Akaike info crit   = " << formatted(n * std::log(r.chiSquare / n) + 2.0 * k, 7) << "\n";
  out << "    Bayesian info crit = " << formatted(n * std::log(r.chiSquare / n) + std::log(n) * k, 7) << "\n";
  if (r.compared)
    out << "    at a minimum       = (no fit)\n";
  else if (!r.stopped.empty())
    out << "    at a minimum       = no (" << r.stopped << "; the values are the best point reached)\n";
  else
    out << "    at a minimum       = " << (r.converged ? "yes" : "no") << " (a further Gauss-Newton step would lower "
        << "chi-square by " << formatted(r.newtonDecrement, 2) << ")\n";
  if (!r.compared)
    out << "    condition number   = " << formatted(r.conditionNumber, 3) << " (Jacobian, unit columns)\n";
  out << "    time               = " << formatted(r.seconds, 3) << " s\n";
  // One line where every dataset is weighed alike, else one per dataset.
  bool alike = true;
  for (const Dataset& d : data) alike = alike && d.weights == data.front().weights;
  if (alike && !data.empty() && data.front().weights == "the file's standard errors")
    out << "    weights            = the data's standard errors\n";
  else if (alike && !data.empty() && !data.front().measuredErrors)
    out << "    weights            = uniform per dataset (no error column); errors scaled by the reduced chi-square\n";
  else if (alike && !data.empty())
    out << "    weights            = " << data.front().weights << "\n";
  else
    for (const Dataset& d : data) out << "    weights of " << d.name << " = " << d.weights << "\n";
}

void writeVariables(std::ostream& out, const FitResult& r) {
  out << "[[Variables]] (K, Oe, emu)\n";
  std::size_t width = 0;
  for (const std::string& name : r.names) width = std::max(width, name.size());
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    out << "    " << std::left << std::setw(static_cast<int>(width) + 1) << (r.names[j] + ":") << std::right << " "
        << formatted(r.values[j], 7);
    if (std::isfinite(r.errors[j]))
      out << " +/- " << formatted(r.errors[j], 3) << " (" << formatted(100.0 * r.errors[j] / std::fabs(r.values[j]), 3)
          << "%)";
    else if (j < r.keptAtStart.size() && r.keptAtStart[j])
      out << " +/- (not determined: kept at the parameter file's value)";
    else
      out << " +/- (not determined)";
    out << (r.units[j].empty() ? "" : " " + r.units[j]) << " (init = " << formatted(r.start[j], 7) << ")\n";
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
  if (!r.undetermined.empty()) {
    out << "[[Not determined]]\n";
    for (const std::string& u : r.undetermined) out << "    " << u << "\n";
    for (const std::string& c : r.combinations) out << "    " << c << "\n";
  }
  if (!r.symmetries.empty()) {
    out << "[[Symmetries]] (exact, whatever the data's noise)\n";
    for (const std::string& s : r.symmetries) out << "    " << s << "\n";
  }
}

// The background's terms: fitted with the particles, not part of the
// parameter file, which the program computes the particles from alone.
void writeBackground(std::ostream& out, const FitResult& r) {
  if (r.background.empty()) return;
  out << "[[Background]] (fitted with the particles; not in the fitted parameter file, so preisach on it computes "
         "the particles alone)\n";
  std::size_t width = 0;
  for (const BackgroundTerm& t : r.background) width = std::max(width, t.name.size());
  for (const BackgroundTerm& t : r.background) {
    out << "    " << std::left << std::setw(static_cast<int>(width) + 1) << (t.name + ":") << std::right << " "
        << formatted(t.value, 7);
    if (std::isfinite(t.error))
      out << " +/- " << formatted(t.error, 3);
    else
      out << " +/- (not determined)";
    out << " " << t.unit << " (" << t.meaning << ")\n";
  }
}

void writeMinima(std::ostream& out, const FitResult& r) {
  out << "[[Minima]] (" << r.minima.size() << (r.minima.size() == 1 ? " minimum" : " distinct minima") << " over "
      << r.starts << (r.starts == 1 ? " start" : " starts") << "; starts that end at one point within its errors are "
      << "one minimum";
  if (r.stalled > 0) out << "; " << r.stalled << " stalled where the gradient is not small";
  out << ")\n";
  for (const Minimum& m : r.minima) {
    out << "    chi-square " << formatted(m.chiSquare, 7) << " (" << m.starts << (m.starts == 1 ? " start" : " starts")
        << (m.held ? ", the undetermined values held at the parameter file's" : "") << "):";
    for (std::size_t j = 0; j < m.values.size(); ++j) out << " " << r.names[j] << " = " << formatted(m.values[j], 6);
    out << "\n";
  }
}

void writeGrid(std::ostream& out, const FitResult& r, const std::vector<Dataset>& data) {
  if (r.gridDeparture.empty()) return;
  out << "[[Grid]] (preisach at m = " << r.m
      << (r.modelKind == ModelKind::Continuum ? " against the fitted continuum curves"
                                              : " against the continuum limit at the fitted values")
      << ": largest |M_grid - M_cont| over largest |M_cont|; the grid's error falls as 1/m)\n";
  for (std::size_t d = 0; d < data.size(); ++d) {
    if (d < r.gridNotFinite.size() && r.gridNotFinite[d]) {
      out << "    " << data[d].name << ": the grid gives NaN at m = " << r.m << " (not a departure of 0)\n";
      continue;
    }
    out << "    " << data[d].name << ": " << formatted(r.gridDeparture[d], 3);
    if (r.gridNeededM[d] > static_cast<double>(r.m))
      out << " (above the data's smallest relative error: run preisach at m >= " << formatted(r.gridNeededM[d], 10)
          << ")";
    out << "\n";
  }
  if (r.modelKind == ModelKind::Grid)
    out << "    the standard errors above are lower bounds: they count the data's noise, not this departure of "
           "the grid from the model's limit\n";
  if (r.compared || r.modelKind == ModelKind::Grid) return;
  if (r.gridUnforetold)
    out << "    the grid at m = " << r.m << " is far from the model's limit (departures beyond 0.25), where its error "
        << "does not yet fall as 1/m: no m is foretold and the fitted file keeps m = " << r.m
        << "; run preisach at larger m and compare\n";
  else if (r.neededM > model::kLargestGridDivisions)
    out << "    no m of the program (at most " << model::kLargestGridDivisions
        << ") meets the data's error: the fitted file gets the largest, m = " << model::kLargestGridDivisions << "\n";
  else if (r.programSeconds > 0.0)
    out << "    the fitted file's m = " << std::max(r.neededM, 1) << " meets the data's error; preisach takes about "
        << formatted(r.programSeconds, 2) << " s on it here\n";
}

}  // namespace

void writeReport(std::ostream& out, const FitResult& r, const std::vector<Dataset>& data) {
  writeModel(out, r, data);
  writeStatistics(out, r, data);
  if (!r.compared) writeVariables(out, r);
  writeBackground(out, r);
  if (!r.compared) writeMinima(out, r);
  writeGrid(out, r, data);
  if (!r.warnings.empty()) {
    out << "[[Warnings]]\n";
    for (const std::string& w : r.warnings) out << "    " << w << "\n";
  }
  out << std::flush;
}

}  // namespace preisach::fitting

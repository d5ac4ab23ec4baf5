#include "explore/api.h"

#include <algorithm>
#include <sstream>

#include "curves/model_curves.h"
#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "fitting/continuum_curves.h"
#include "lab/fit_command.h"
#include "lab/lab_files.h"
#include "lab/model_options.h"
#include "lab/result_set.h"
#include "lab/run_limits.h"
#include "measured/data_error.h"
#include "measured/pmc_format.h"
#include "measured/text_cells.h"
#include "model/scaling.h"
#include "model/thermal.h"
#include "parameters/parameter_fields.h"

namespace preisach::explore {

namespace {

using measured::DataError;

// The record's 24 values as the file holds them, one text each.
std::vector<std::string> recordWords(const parameters::ParameterSet& p) {
  std::istringstream text(parameters::formatParameterRecord(p));
  std::vector<std::string> words;
  for (std::string word; text >> word;) words.push_back(word);
  return words;
}

// Every value finite, else the computation is refused as the lab's
// commands refuse it.
void requireFinite(const std::vector<double>& values, const std::string& what) {
  for (double v : values)
    if (!std::isfinite(v))
      throw lab::ComputationError("the " + what +
                                  " on the continuum limit are not finite (nan or inf) for this record");
}

// The smoothing factor of a measured FORC diagram, as forc's default.
constexpr int kSmoothing = 3;

// What keeps a value physical, for the page's slider.
const char* boundName(parameters::PhysicalBound bound) {
  switch (bound) {
    case parameters::PhysicalBound::Positive:
      return "positive";
    case parameters::PhysicalBound::UnitInterval:
      return "unit";
    case parameters::PhysicalBound::AboveTemperatures:
      return "above_temperatures";
    case parameters::PhysicalBound::None:
      break;
  }
  return "none";
}

// The record's curves on either evaluator: T, M_ZFC, M_FC and the nine
// separate integrals when its ZFC/FC flag is on, H, M, (1 - f) M_irr and
// f M_rev when its loop flag is on. With `finite`, moments that are not
// finite are refused as the lab's commands refuse them; else they are gaps.
nlohmann::json modelCurves(const parameters::ParameterSet& p, const curves::ModelChoice& choice, bool finite) {
  nlohmann::json out;
  if (parameters::isOn(p.Calculate_ZFCFC)) {
    const curves::ZfcFcCurves c = curves::zfcfcCurves(p, driver::temperatureSchedule(p.T_max), choice);
    if (finite) requireFinite(c.M_ZFC, "ZFC/FC curves"), requireFinite(c.M_FC, "ZFC/FC curves");
    out["T"] = c.T, out["M_ZFC"] = finiteOrNull(c.M_ZFC), out["M_FC"] = finiteOrNull(c.M_FC);
    out["integrals"] = c.integrals;
  }
  if (parameters::isOn(p.Calculate_Hysteresis)) {
    const std::vector<float> down = driver::fieldSchedule(p.Ha_max, model::Branch::Descending);
    const std::vector<float> up = driver::fieldSchedule(p.Ha_max, model::Branch::Ascending);
    std::vector<double> H, M, irreversible, reversible;
    for (const curves::MomentPoint& point : curves::loopCurve(p, down, up, choice)) {
      H.push_back(point.H), M.push_back(point.M);
      irreversible.push_back(point.irreversible), reversible.push_back(point.reversible);
    }
    if (finite) requireFinite(M, "loop's moments");
    out["H"] = H, out["M"] = finiteOrNull(M);
    out["M_irreversible"] = finiteOrNull(irreversible), out["M_reversible"] = finiteOrNull(reversible);
    out["descending"] = down.size();
  }
  return out;
}

// The density's centre and widths at T by their scaling laws (Oe).
struct DensityScales {
  double hcm, sigc, sigi, km;
};

DensityScales scalesAt(const parameters::ParameterSet& p, float T) {
  return {static_cast<double>(model::scaledParameter(T, p.Tc, p.hc0_mean, p.Gamma_c)),
          std::fabs(static_cast<double>(model::scaledParameter(T, p.Tc, p.sigmac0, p.Gamma_cprim))),
          std::fabs(static_cast<double>(model::scaledParameter(T, p.Tc, p.sigmai0, p.Gamma_i))),
          static_cast<double>(p.km)};
}

}  // namespace

nlohmann::json finiteOrNull(const std::vector<double>& values) {
  nlohmann::json out = nlohmann::json::array();
  for (double v : values) out.push_back(std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr));
  return out;
}

std::vector<std::vector<history::ForcValue>> readForcDiagram(const std::string& path) {
  std::vector<std::vector<history::ForcValue>> diagram = history::forcDistribution(measured::readPmc(path), kSmoothing);
  if (diagram.empty())
    throw DataError(measured::shownName(path) + ": the FORCs are too few or too irregular for a FORC distribution");
  return diagram;
}

parameters::ParameterSet recordWith(const parameters::ParameterSet& start,
                                    const std::map<std::string, std::string>& values) {
  std::vector<std::string> words = recordWords(start);
  const std::vector<parameters::ParameterField>& fields = parameters::parameterFields();
  for (const auto& [name, value] : values) {
    std::size_t j = 0;
    while (j < fields.size() && name != fields[j].name) ++j;
    if (j == fields.size()) throw DataError("\"" + measured::shownName(name) + "\" is not a parameter of the record");
    if (value.empty() || value.find_first_of(" \t\r\n") != std::string::npos)
      throw DataError(std::string(fields[j].name) + ": \"" + measured::shownName(value) + "\" is not one value");
    words[j] = value;
  }
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  const parameters::ParameterSet p = lab::readParameterText("the record asked for", text + "\n");
  const curves::ModelChoice choice{curves::Evaluator::Continuum, 1e-10, p.m};
  if (parameters::isOn(p.Calculate_ZFCFC)) lab::requireZfcFcSweep(p, choice, "the record asked for");
  if (parameters::isOn(p.Calculate_Hysteresis)) lab::requireLoopFields(p, "the record asked for");
  return p;
}

nlohmann::json recordJson(const parameters::ParameterSet& p, const std::vector<fitting::Dataset>& data) {
  nlohmann::json out;
  const std::vector<std::string> words = recordWords(p);
  const std::vector<parameters::ParameterField>& fields = parameters::parameterFields();
  out["parameters"] = nlohmann::json::array();
  for (std::size_t j = 0; j < fields.size(); ++j) {
    const parameters::ParameterField& f = fields[j];
    nlohmann::json field = {
        {"name", f.name},   {"unit", f.unit},         {"label", f.label},           {"meaning", f.meaning},
        {"text", words[j]}, {"fittable", f.fittable}, {"bound", boundName(f.bound)}};
    if (f.kind == parameters::FieldKind::Real) field["value"] = static_cast<double>(p.*(f.real));
    field["kind"] = f.kind == parameters::FieldKind::Real      ? "real"
                    : f.kind == parameters::FieldKind::Integer ? "integer"
                    : f.kind == parameters::FieldKind::Flag    ? "flag"
                                                               : "shape";
    out["parameters"].push_back(field);
  }
  out["shapes"] = model::densityShapeLetters();
  out["data"] = nlohmann::json::array();
  for (const fitting::Dataset& d : data) {
    nlohmann::json set = {{"name", d.name},
                          {"file", measured::shownName(d.curve.file)},
                          {"x", d.curve.x},
                          {"M", d.curve.moment},
                          {"sigma", d.sigma}};
    set["kind"] = d.kind == fitting::CurveKind::Zfc ? "zfc" : d.kind == fitting::CurveKind::Fc ? "fc" : "loop";
    if (d.kind == fitting::CurveKind::Loop)
      set["temperature"] = static_cast<double>(d.temperature), set["descending"] = d.descending;
    else
      set["field"] = static_cast<double>(d.field);
    out["data"].push_back(set);
  }
  return out;
}

nlohmann::json curvesJson(const parameters::ParameterSet& p, double tolerance) {
  return modelCurves(p, {curves::Evaluator::Continuum, tolerance, p.m}, true);
}

nlohmann::json dataModelJson(const parameters::ParameterSet& p,
                             const std::vector<fitting::Dataset>& data,
                             double tolerance) {
  nlohmann::json out = nlohmann::json::array();
  for (const std::vector<double>& curve :
       fitting::continuumCurves(fitting::physicsOf(p), lab::dataFor(data, p), tolerance))
    out.push_back(finiteOrNull(curve));
  return out;
}

nlohmann::json gridCurvesJson(parameters::ParameterSet p, std::int32_t m, double largestCellUpdates) {
  if (m < 3 || m > model::kLargestGridDivisions)
    throw DataError("the grid's m must be a whole number from 3 to " + std::to_string(model::kLargestGridDivisions));
  p.m = m;
  const curves::ModelChoice choice{curves::Evaluator::Grid, 0.0, m};
  // A ZFC/FC point sweeps the grid about twice, a loop field once.
  double sweeps = 0.0;
  if (parameters::isOn(p.Calculate_ZFCFC)) {
    lab::requireZfcFcSweep(p, choice, "the record asked for");
    sweeps += 2.0 * static_cast<double>(driver::temperatureSchedule(p.T_max).size());
  }
  if (parameters::isOn(p.Calculate_Hysteresis))
    sweeps += 2.0 * static_cast<double>(driver::fieldSchedule(p.Ha_max, model::Branch::Descending).size());
  const lab::Work work{sweeps, m};
  if (work.cellUpdates() > largestCellUpdates)
    throw DataError("the grid check at m = " + std::to_string(m) + " asks for " +
                    lab::formatNumber(work.cellUpdates()) + " cell updates, more than the page's " +
                    lab::formatNumber(largestCellUpdates) + " (about half a minute): take a smaller m, or run " +
                    "preisach-lab curves --model grid");
  nlohmann::json out = modelCurves(p, choice, false);
  out["m"] = m;
  return out;
}

nlohmann::json densityJson(const parameters::ParameterSet& p, double T, int n) {
  if (!(T > 0.0) || !(T < static_cast<double>(p.Tc)))
    throw DataError("the density's temperature " + lab::formatNumber(T) +
                    " K is not between 0 and Tc = " + lab::formatNumber(p.Tc) + " K");
  const model::DensityParameters d = model::densityAt(p, static_cast<float>(T));
  const double hts = static_cast<double>(model::thermalField(static_cast<float>(T), p.mu0));
  const double htsMax = static_cast<double>(model::thermalField(p.T_max, p.mu0));
  const double hiBound = static_cast<double>(p.ha) + htsMax;
  // The plane from hc = 0 past both the rectangle and four widths beyond
  // the centre, in hi over the rectangle and four widths about km.
  const auto [hcm, sigc, sigi, km] = scalesAt(p, static_cast<float>(T));
  const double hcTop = std::max(1.1 * htsMax, hcm + 4.0 * sigc);
  const double hiLow = std::min(-1.1 * hiBound, km - 4.0 * sigi);
  const double hiHigh = std::max(1.1 * hiBound, km + 4.0 * sigi);
  std::vector<double> hc(static_cast<std::size_t>(n)), hi(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    hc[static_cast<std::size_t>(k)] = hcTop * (k + 0.5) / n;
    hi[static_cast<std::size_t>(k)] = hiLow + (hiHigh - hiLow) * k / (n - 1);
  }
  nlohmann::json z = nlohmann::json::array();
  for (double y : hi) {
    std::vector<double> row;
    for (double x : hc) row.push_back(d.at(x, y));
    z.push_back(finiteOrNull(row));
  }
  nlohmann::json out = {{"T", T},
                        {"hc", hc},
                        {"hi", hi},
                        {"density", z},
                        {"hts", hts},
                        {"hts_half", hts / 2.0},
                        {"hts_Tmax", htsMax},
                        {"hi_bound", hiBound}};
  const double step = std::min(hc[1] - hc[0], hi[1] - hi[0]);
  if (!(std::min(sigc, sigi) >= step))
    out["note"] = "the density is narrower than the picture's step (sigma_c(T) = " + lab::formatNumber(sigc) +
                  " Oe, sigma_i(T) = " + lab::formatNumber(sigi) + " Oe, step " + lab::formatNumber(step) +
                  " Oe): it may not show";
  return out;
}

nlohmann::json modelForcJson(const parameters::ParameterSet& p, double tolerance) {
  lab::requireLoopFields(p, "the record asked for");
  constexpr int kColumns = 60, kRows = 121;
  // The distribution is the density at T_hyst with hi = -Hu: where it lies
  // well within the field range, the picture is narrowed to it.
  const double H = static_cast<double>(p.Ha_max);
  const auto [hcm, sigc, sigi, km] = scalesAt(p, p.T_hyst);
  const double hcTop = std::isfinite(hcm + sigc) ? std::clamp(hcm + 5.0 * sigc, 1e-3 * H, H) : H;
  const double hcLow = std::isfinite(hcm + sigc) ? std::clamp(hcm - 5.0 * sigc, 0.0, hcTop) : 0.0;
  double huLow = std::isfinite(km + sigi) ? std::max(-H, -km - 5.0 * sigi) : -H;
  double huHigh = std::isfinite(km + sigi) ? std::min(H, -km + 5.0 * sigi) : H;
  if (!(huHigh > huLow)) huLow = -H, huHigh = H;
  std::vector<std::vector<history::ForcValue>> grid(kRows);
  std::vector<double> Hc, Hu;
  for (int c = 1; c <= kColumns; ++c) Hc.push_back(hcLow + (hcTop - hcLow) * c / kColumns);
  for (int r = 0; r < kRows; ++r) Hu.push_back(huLow + (huHigh - huLow) * r / (kRows - 1));
  for (int r = 0; r < kRows; ++r)
    for (double x : Hc) grid[static_cast<std::size_t>(r)].push_back({x, Hu[static_cast<std::size_t>(r)], 0.0});
  nlohmann::json rho = nlohmann::json::array();
  for (const std::vector<history::ForcValue>& row : curves::exactForcDistribution(p, grid, tolerance)) {
    std::vector<double> values;
    for (const history::ForcValue& v : row) values.push_back(v.rho);
    rho.push_back(finiteOrNull(values));
  }
  return {{"Hc", Hc}, {"Hu", Hu}, {"rho", rho}};
}

nlohmann::json diagramJson(const std::vector<std::vector<history::ForcValue>>& blocks) {
  std::vector<double> Hc, Hu, rho;
  for (const std::vector<history::ForcValue>& block : blocks)
    for (const history::ForcValue& v : block) Hc.push_back(v.Hc), Hu.push_back(v.Hu), rho.push_back(v.rho);
  return {{"Hc", Hc}, {"Hu", Hu}, {"rho", rho}};
}

}  // namespace preisach::explore

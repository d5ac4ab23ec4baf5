#include "explore/api.h"

#include <sstream>

#include "curves/model_curves.h"
#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "lab/lab_files.h"
#include "lab/model_options.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"
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

}  // namespace

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
        {"name", f.name}, {"unit", f.unit}, {"label", f.label}, {"text", words[j]}, {"fittable", f.fittable}};
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
  const curves::ModelChoice choice{curves::Evaluator::Continuum, tolerance, p.m};
  nlohmann::json out;
  if (parameters::isOn(p.Calculate_ZFCFC)) {
    const curves::ZfcFcCurves c = curves::zfcfcCurves(p, driver::temperatureSchedule(p.T_max), choice);
    requireFinite(c.M_ZFC, "ZFC/FC curves");
    requireFinite(c.M_FC, "ZFC/FC curves");
    out["T"] = c.T, out["M_ZFC"] = c.M_ZFC, out["M_FC"] = c.M_FC, out["integrals"] = c.integrals;
  }
  if (parameters::isOn(p.Calculate_Hysteresis)) {
    const std::vector<float> down = driver::fieldSchedule(p.Ha_max, model::Branch::Descending);
    const std::vector<float> up = driver::fieldSchedule(p.Ha_max, model::Branch::Ascending);
    std::vector<double> H, M, irreversible, reversible;
    for (const curves::MomentPoint& point : curves::loopCurve(p, down, up, choice)) {
      H.push_back(point.H), M.push_back(point.M);
      irreversible.push_back(point.irreversible), reversible.push_back(point.reversible);
    }
    requireFinite(M, "loop's moments");
    out["H"] = H, out["M"] = M, out["M_irreversible"] = irreversible, out["M_reversible"] = reversible;
    out["descending"] = down.size();
  }
  return out;
}

}  // namespace preisach::explore

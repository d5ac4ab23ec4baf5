#include "python_checks.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "lab/lab_files.h"
#include "measured/data_error.h"
#include "model/density.h"
#include "model/grid.h"
#include "model/thermal.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::python {

using measured::DataError;

parameters::ParameterSet readParameterText(const std::string& name, const std::string& text) {
  std::istringstream file(text);
  std::ostringstream echo;
  parameters::ParameterSet p;
  const parameters::ReadResult result = parameters::readParameterFile(file, p, echo, [] {});
  if (result.status == parameters::ReadStatus::NoValue) throw DataError(name + ": holds no parameter value");
  if (result.status == parameters::ReadStatus::FieldUnreadable)
    throw DataError(name + ": " + parameters::describeReadFailure(result));
  if (!model::isDensityShape(static_cast<char>(p.PDF)))
    throw DataError(name + ": the density shape PDF must be one of " + model::densityShapeLetters() + ", but '" +
                    parameters::escapedText(std::string(1, static_cast<char>(p.PDF))) + "' was read");
  if (p.m < 1 || p.m > model::kLargestGridDivisions)
    throw DataError(name + ": m=" + std::to_string(p.m) + " must lie between 1 and " +
                    std::to_string(model::kLargestGridDivisions));
  return p;
}

curves::ModelChoice chooseModel(const std::string& name, double tolerance, std::int32_t m) {
  try {
    return curves::modelChoice(name, tolerance, m);
  } catch (const std::invalid_argument& e) {
    throw DataError(e.what());
  }
}

void checkZfcFc(const parameters::ParameterSet& p, const curves::ModelChoice& choice) {
  const long double hts_Tmax = model::thermalField(p.T_max, p.mu0);
  const bool rectangle = hts_Tmax > 0.0L && static_cast<long double>(p.ha) + hts_Tmax > 0.0L;
  if (!rectangle || (choice.evaluator == curves::Evaluator::Grid && !zfcfc::zfcfcGridHasNormalisationNode(p, p.m)))
    throw DataError("the ZFC/FC rectangle (T_max=" + lab::formatNumber(p.T_max) + ", mu0=" + lab::formatNumber(p.mu0) +
                    ", ha=" + lab::formatNumber(p.ha) + ", m=" + std::to_string(p.m) +
                    ") holds no node to normalise over: T_max and mu0 must be positive, ha + hts(T_max) too, "
                    "and on the grid m at least 3");
}

void checkLoop(const parameters::ParameterSet& p) {
  if (!driver::hasFieldRange(p.Ha_max))
    throw DataError("Ha_max=" + lab::formatNumber(p.Ha_max) +
                    ": the hysteresis loop has no field range (Ha_max must be positive and at least 2e-09 Oe)");
}

std::vector<float> checkedTemperatures(const std::vector<double>& T, float Tc) {
  if (T.size() > driver::kMostTemperatures)
    throw DataError(std::to_string(T.size()) + " temperatures: more than " + std::to_string(driver::kMostTemperatures));
  std::vector<float> out;
  for (double t : T) {
    if (!(t > 0.0) || !(t < static_cast<double>(Tc)))
      throw DataError("the temperature " + lab::formatNumber(t) +
                      " K is not between 0 and Tc = " + lab::formatNumber(Tc) + " K");
    out.push_back(static_cast<float>(t));
  }
  return out;
}

std::vector<float> checkedFields(const std::vector<double>& H, float Ha_max) {
  std::vector<float> out;
  for (double h : H) {
    if (!std::isfinite(h) || std::fabs(h) > static_cast<double>(Ha_max))
      throw DataError("the field " + lab::formatNumber(h) + " Oe lies outside +-Ha_max = " + lab::formatNumber(Ha_max) +
                      " Oe");
    out.push_back(static_cast<float>(h));
  }
  return out;
}

}  // namespace preisach::python

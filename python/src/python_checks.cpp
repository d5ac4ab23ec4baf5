#include "python_checks.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "lab/lab_files.h"
#include "lab/model_options.h"
#include "measured/data_error.h"
#include "model/density.h"
#include "model/grid.h"
#include "model/thermal.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::python {

using measured::DataError;

parameters::ParameterSet readParameterText(const std::string& name, const std::string& text) {
  return lab::readParameterText(name, text);
}

curves::ModelChoice chooseModel(const std::string& name, double tolerance, std::int32_t m) {
  try {
    return curves::modelChoice(name, tolerance, m);
  } catch (const std::invalid_argument& e) {
    throw DataError(e.what());
  }
}

void checkZfcFc(const parameters::ParameterSet& p, const curves::ModelChoice& choice) {
  lab::requireZfcFcSweep(p, choice, "the parameters");
}

void checkLoop(const parameters::ParameterSet& p) {
  lab::requireLoopFields(p, "the parameters");
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

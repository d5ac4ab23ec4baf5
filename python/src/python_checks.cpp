#include "python_checks.h"

#include <cmath>
#include <filesystem>
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
#include "parameters/parameters.h"
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
  checkedTemperatures({static_cast<double>(p.T_hyst)}, p.Tc);
}

std::vector<float> checkedTemperatures(const std::vector<double>& T, float Tc) {
  if (T.size() > driver::kMostTemperatures)
    throw DataError(std::to_string(T.size()) + " temperatures: more than " + std::to_string(driver::kMostTemperatures));
  std::vector<float> out;
  for (double t : T) {
    // The model computes in float32: a temperature is refused when its
    // float32 value, not only the number given, lies outside (0, Tc); 1e-300
    // is 0 K there and 599.99999 is Tc = 600 K.
    const auto t32 = static_cast<float>(t);
    if (!(t > 0.0) || !(t < static_cast<double>(Tc)) || !(t32 > 0.0f) || !(t32 < Tc))
      throw DataError("the temperature " + lab::formatNumber(t) +
                      " K is not between 0 and Tc = " + lab::formatNumber(Tc) + " K");
    out.push_back(t32);
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

void requireResultPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) return;
  const std::string name = parameters::escapedText(path.substr(0, 200));
  if (std::filesystem::is_directory(status)) throw DataError(name + ": is a folder, not a result file");
  throw DataError(name +
                  ": is not a regular file (a device, a FIFO or a socket): a result replaces only a regular file");
}

}  // namespace preisach::python

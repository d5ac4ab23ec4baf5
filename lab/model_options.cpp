#include "lab/model_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "lab/lab_files.h"
#include "measured/data_error.h"
#include "model/thermal.h"
#include "parameters/parameters.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::lab {

void addModelOptions(CLI::App* command, ModelOptions& options) {
  command
      ->add_option("--model", options.model,
                   "continuum: the grid sums' limit m -> infinity, every integral to the relative tolerance --tol; "
                   "grid: the program's own sums on the parameter file's m, bit for bit its values")
      ->capture_default_str();
  command
      ->add_option("--tol", options.tolerance,
                   "relative tolerance of the continuum's integrals, from 1e-14 (double arithmetic's limit) up to 1")
      ->capture_default_str();
}

CLI::Validator wholeNumberIn(long lowest, long highest, const std::string& what) {
  const std::string range =
      "a whole number of " + what + " from " + std::to_string(lowest) + " to " + std::to_string(highest);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || value < lowest || value > highest)
          return "\"" + parameters::escapedText(text.substr(0, 80)) + "\" is not " + range;
        return std::string();
      },
      "INTEGER in [" + std::to_string(lowest) + ", " + std::to_string(highest) + "]");
}

curves::ModelChoice chosenModel(const ModelOptions& options, std::int32_t m) {
  const std::string& text = options.tolerance;
  char* end = nullptr;
  const double tolerance = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size())
    throw measured::DataError("--tol: \"" + parameters::escapedText(text.substr(0, 80)) + "\" is not a number");
  try {
    return curves::modelChoice(options.model, tolerance, m);
  } catch (const std::invalid_argument& e) {
    throw measured::DataError(e.what());
  }
}

namespace {

// The moment at 0 K divides the thermal field and scales every moment: the
// model has nothing to compute without a positive one.
void requirePositiveMoment(const parameters::ParameterSet& p, const std::string& params) {
  if (!(p.mu0 > 0.0f) || !std::isfinite(p.mu0))
    throw measured::DataError(params + ": mu0=" + lab::formatNumber(p.mu0) +
                              " emu: the particle moment at 0 K must be a positive number");
}

}  // namespace

// The program's refusals of a ZFC/FC sweep: one without a rectangle to
// normalise over, or of more temperatures than it computes.
void requireZfcFcSweep(const parameters::ParameterSet& p,
                       const curves::ModelChoice& choice,
                       const std::string& params) {
  requirePositiveMoment(p, params);
  if (driver::temperatureCount(p.T_max, driver::kMostTemperatures) > driver::kMostTemperatures)
    throw measured::DataError(params + ": T_max=" + lab::formatNumber(p.T_max) + " K asks for more than " +
                              std::to_string(driver::kMostTemperatures) + " temperatures in steps of 10 K");
  const long double hts_Tmax = model::thermalField(p.T_max, p.mu0);
  const bool rectangle = hts_Tmax > 0.0L && static_cast<long double>(p.ha) + hts_Tmax > 0.0L;
  if (!rectangle || (choice.evaluator == curves::Evaluator::Grid && !zfcfc::zfcfcGridHasNormalisationNode(p, p.m)))
    throw measured::DataError(params + ": the ZFC/FC rectangle (T_max=" + lab::formatNumber(p.T_max) +
                              ", mu0=" + lab::formatNumber(p.mu0) + ", ha=" + lab::formatNumber(p.ha) +
                              ", m=" + std::to_string(p.m) +
                              ") holds no node to normalise over: T_max and mu0 must be positive, ha + hts(T_max) too, "
                              "and on the grid m at least 3");
}

void requireLoopFields(const parameters::ParameterSet& p, const std::string& params) {
  requirePositiveMoment(p, params);
  if (!driver::hasFieldRange(p.Ha_max))
    throw measured::DataError(params + ": Ha_max=" + lab::formatNumber(p.Ha_max) +
                              ": the hysteresis loop has no field range (Ha_max must be positive and at least "
                              "2e-09 Oe)");
}

}  // namespace preisach::lab
